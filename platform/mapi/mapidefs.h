// The messaging library's structures, flags and interfaces, with their
// published names and values (CE MAPI, the handheld's subset of MAPI).
//
// Memory: every structure handed out by a method (property values, row sets,
// entry ids, notifications) is one MAPIAllocateBuffer block, with its inner
// parts chained to it by MAPIAllocateMore; the caller frees it with one
// MAPIFreeBuffer (row sets with FreeProws). Objects are reference counted: whoever
// obtains an interface pointer releases it. No method lets an exception out:
// each returns an HRESULT (mapicode.h), 0 for success.
//
// Differences from desktop MAPI are listed in docs/mapi.md; in short, the
// interfaces carry only the methods the program and its tools call, text is
// always UTF-16 (MAPI_UNICODE), and SetProps writes through at once.
#pragma once

#include "platform/base/types.h"
#include "platform/com/unknown.h"
#include "platform/mapi/mapicode.h"

#include <cstddef>

using FLAGS = ULONG;
using LPTSTR = WCHAR *; // the handheld's text is UTF-16 throughout
using LPCIID = const IID *;
using ULONG_PTR = UINT_PTR;

// Trailing arrays are declared with one element, as published.
#define MAPI_DIM 1

// ---- Property tags -------------------------------------------------------

// A tag is the property id in the high 16 bits and its type in the low 16.
constexpr ULONG PROP_TAG(ULONG type, ULONG id) { return (id << 16) | type; }
constexpr ULONG PROP_TYPE(ULONG tag) { return tag & 0xFFFFu; }
constexpr ULONG PROP_ID(ULONG tag) { return tag >> 16; }
constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) { return (tag & 0xFFFF0000u) | type; }

constexpr ULONG PT_UNSPECIFIED = 0x0000; // in a request: whatever type the store holds
constexpr ULONG PT_NULL = 0x0001;
constexpr ULONG PT_I2 = 0x0002;
constexpr ULONG PT_SHORT = PT_I2;
constexpr ULONG PT_LONG = 0x0003;
constexpr ULONG PT_I4 = PT_LONG;
constexpr ULONG PT_R4 = 0x0004;
constexpr ULONG PT_DOUBLE = 0x0005;
constexpr ULONG PT_CURRENCY = 0x0006;
constexpr ULONG PT_APPTIME = 0x0007;
constexpr ULONG PT_ERROR = 0x000A;  // the value is an SCODE: why the property is missing
constexpr ULONG PT_BOOLEAN = 0x000B; // 16-bit: 0 false, 1 true (other values are kept as stored)
constexpr ULONG PT_OBJECT = 0x000D;
constexpr ULONG PT_I8 = 0x0014;
constexpr ULONG PT_STRING8 = 0x001E;
constexpr ULONG PT_UNICODE = 0x001F;
constexpr ULONG PT_TSTRING = PT_UNICODE;
constexpr ULONG PT_SYSTIME = 0x0040; // FILETIME, UTC
constexpr ULONG PT_CLSID = 0x0048;
constexpr ULONG PT_BINARY = 0x0102;
constexpr ULONG MV_FLAG = 0x1000;

// ---- Flags ----------------------------------------------------------------

constexpr ULONG MAPI_UNICODE = 0x80000000;       // text arguments and results are UTF-16
constexpr ULONG MAPI_MODIFY = 0x00000001;        // OpenEntry: read-write (always granted here)
constexpr ULONG MAPI_DEFERRED_ERRORS = 0x00000008;
constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
constexpr ULONG MAPI_CREATE = 0x00000002;        // OpenProperty: create the property
constexpr ULONG OPEN_IF_EXISTS = 0x00000001;     // CreateFolder: open a subfolder of that name
constexpr ULONG MESSAGE_MOVE = 0x00000001;       // CopyMessages: move instead of copy
constexpr ULONG FOLDER_ROOT = 0x00000000;        // CreateFolder folder types
constexpr ULONG FOLDER_GENERIC = 0x00000001;
// Our bit in PR_FOLDER_TYPE: a store's Outbox, Sent Items and Drafts, whose
// mail was not received (docs/mapi.md).
constexpr ULONG FOLDER_UNRECEIVED_MAIL = 0x00200000;
constexpr ULONG TBL_BATCH = 0x00000002;          // SetColumns: apply lazily (same effect here)
constexpr ULONG MAPI_EXTENDED = 0x00000020;      // MAPILogonEx flags (accepted, ignored)
constexpr ULONG MAPI_NO_MAIL = 0x00008000;

// Object types (PR_OBJECT_TYPE, OpenEntry's object type, notifications).
constexpr ULONG MAPI_STORE = 0x00000001;
constexpr ULONG MAPI_ADDRBOOK = 0x00000002;
constexpr ULONG MAPI_FOLDER = 0x00000003;
constexpr ULONG MAPI_ABCONT = 0x00000004;
constexpr ULONG MAPI_MESSAGE = 0x00000005;
constexpr ULONG MAPI_MAILUSER = 0x00000006;
constexpr ULONG MAPI_ATTACH = 0x00000007;
constexpr ULONG MAPI_DISTLIST = 0x00000008;
constexpr ULONG MAPI_SESSION = 0x0000000B;

// Event types of notifications (IMsgStore::Advise masks, NOTIFICATION.ulEventType).
constexpr ULONG fnevCriticalError = 0x00000001;
constexpr ULONG fnevNewMail = 0x00000002;
constexpr ULONG fnevObjectCreated = 0x00000004;
constexpr ULONG fnevObjectDeleted = 0x00000008;
constexpr ULONG fnevObjectModified = 0x00000010;
constexpr ULONG fnevObjectMoved = 0x00000020;
constexpr ULONG fnevObjectCopied = 0x00000040;
constexpr ULONG fnevSearchComplete = 0x00000080;
constexpr ULONG fnevTableModified = 0x00000100;
constexpr ULONG fnevStatusObjectModified = 0x00000200;
constexpr ULONG fnevExtended = 0x80000000;

// PR_MESSAGE_FLAGS bits.
constexpr ULONG MSGFLAG_READ = 0x00000001;
constexpr ULONG MSGFLAG_UNMODIFIED = 0x00000002;
constexpr ULONG MSGFLAG_SUBMIT = 0x00000004;
constexpr ULONG MSGFLAG_UNSENT = 0x00000008;
constexpr ULONG MSGFLAG_HASATTACH = 0x00000010;
constexpr ULONG MSGFLAG_FROMME = 0x00000020;

// PR_MSG_STATUS bits; the 0x00010000 and above are the handheld's download states.
constexpr ULONG MSGSTATUS_HIGHLIGHTED = 0x00000001;
constexpr ULONG MSGSTATUS_TAGGED = 0x00000002;
constexpr ULONG MSGSTATUS_HIDDEN = 0x00000004;
constexpr ULONG MSGSTATUS_DELMARKED = 0x00000008;
constexpr ULONG MSGSTATUS_REMOTE_DOWNLOAD = 0x00001000;        // marked for download from the server
constexpr ULONG MSGSTATUS_REMOTE_DELETE = 0x00002000;
constexpr ULONG MSGSTATUS_HEADERONLY = 0x00010000;             // only the header is in the store
constexpr ULONG MSGSTATUS_RECTYPE_SMTP = 0x00020000;
constexpr ULONG MSGSTATUS_RECTYPE_SMS = 0x00040000;
constexpr ULONG MSGSTATUS_PARTIAL_DOWNLOAD = 0x00080000;       // a partial download is under way
constexpr ULONG MSGSTATUS_PARTIAL = 0x00100000;                // only part of the body is in the store
constexpr ULONG MSGSTATUS_REMOTE_DOWNLOAD_ATTACH = 0x00200000; // an attachment is marked for download
constexpr ULONG MSGSTATUS_REMOTE_DOWNLOAD_HEADER = 0x00400000; // the MIME header is to be downloaded

// ---- Structures -------------------------------------------------------------

// An entry id: opaque bytes issued by the store. Two ids are the same object
// when their sizes and bytes are equal; the size travels beside the pointer.
struct ENTRYID {
  BYTE abFlags[4];    // always zero here
  BYTE ab[MAPI_DIM];  // provider bytes, size given separately
};
using LPENTRYID = ENTRYID *;

// A counted byte string (binary property values, entry ids in tables).
struct SBinary {
  ULONG cb;   // number of bytes
  LPBYTE lpb; // the bytes; chained to the enclosing buffer
};
using LPSBinary = SBinary *;

// A list of entry ids (CopyMessages' message list).
struct SBinaryArray {
  ULONG cValues;  // number of ids
  SBinary *lpbin; // the ids
};
using ENTRYLIST = SBinaryArray;
using LPENTRYLIST = SBinaryArray *;

// A counted list of property tags. Use SizedSPropTagArray for fixed lists.
struct SPropTagArray {
  ULONG cValues;               // number of tags
  ULONG aulPropTag[MAPI_DIM];  // the tags
};
using LPSPropTagArray = SPropTagArray *;

#define SizedSPropTagArray(n, name)                                                            \
  struct _SPropTagArray_##name {                                                               \
    ULONG cValues;                                                                             \
    ULONG aulPropTag[n];                                                                       \
  } name

// The value of one property; which member holds it follows PROP_TYPE(ulPropTag).
union _PV {
  short i;          // PT_I2
  LONG l;           // PT_LONG
  ULONG ul;         // PT_LONG, unsigned view
  float flt;        // PT_R4
  double dbl;       // PT_DOUBLE, PT_APPTIME
  unsigned short b; // PT_BOOLEAN
  LONGLONG li;      // PT_I8, PT_CURRENCY
  FILETIME ft;      // PT_SYSTIME
  char *lpszA;      // PT_STRING8
  LPWSTR lpszW;     // PT_UNICODE, terminated; chained to the enclosing buffer
  GUID *lpguid;     // PT_CLSID
  SBinary bin;      // PT_BINARY
  SCODE err;        // PT_ERROR: why the property has no value (MAPI_E_NOT_FOUND ...)
  LONG x;           // PT_NULL, PT_OBJECT: no value
};

// One property: its tag and its value.
struct SPropValue {
  ULONG ulPropTag;  // tag; PT_ERROR type when the property could not be read
  ULONG dwAlignPad; // unused
  _PV Value;        // the value
};
using LPSPropValue = SPropValue *;

// One property that SetProps could not write.
struct SPropProblem {
  ULONG ulIndex;   // index in the caller's value array
  ULONG ulPropTag; // the tag
  SCODE scode;     // why
};
struct SPropProblemArray {
  ULONG cProblem;                 // number of problems
  SPropProblem aProblem[MAPI_DIM]; // the problems
};
using LPSPropProblemArray = SPropProblemArray *;

// One table row: its column values, one MAPIAllocateBuffer block of its own.
struct SRow {
  ULONG ulAdrEntryPad;  // unused
  ULONG cValues;        // number of columns
  LPSPropValue lpProps; // the column values; freed by FreeProws
};
using LPSRow = SRow *;

// Rows returned by QueryRows; free with FreeProws.
struct SRowSet {
  ULONG cRows;          // number of rows (0 at the end of the table)
  SRow aRow[MAPI_DIM];  // the rows
};
using LPSRowSet = SRowSet *;

// fnevNewMail: a message arrived.
struct NEWMAIL_NOTIFICATION {
  ULONG cbEntryID;        // size of the message's entry id
  LPENTRYID lpEntryID;    // the message
  ULONG cbParentID;       // size of the folder's entry id
  LPENTRYID lpParentID;   // the folder that received it
  ULONG ulFlags;          // MAPI_UNICODE: lpszMessageClass is UTF-16
  LPTSTR lpszMessageClass; // the message class, may be null
  ULONG ulMessageFlags;   // the message's PR_MESSAGE_FLAGS
};

// fnevObjectCreated/Deleted/Modified/Moved/Copied: an object changed.
struct OBJECT_NOTIFICATION {
  ULONG cbEntryID;            // size of the object's entry id
  LPENTRYID lpEntryID;        // the object (after a move or copy: its new id)
  ULONG ulObjType;            // MAPI_STORE, MAPI_FOLDER or MAPI_MESSAGE
  ULONG cbParentID;           // size of the parent's entry id (0 when none)
  LPENTRYID lpParentID;       // the folder that holds it (after a move: the new one)
  ULONG cbOldID;              // moves and copies: size of the former id, else 0
  LPENTRYID lpOldID;          // moves and copies: the former id (the source), else null
  ULONG cbOldParentID;        // moves and copies: size of the former parent's id, else 0
  LPENTRYID lpOldParentID;    // moves and copies: the former parent, else null
  LPSPropTagArray lpPropTagArray; // changed properties; always null here
};

// fnevCriticalError.
struct ERROR_NOTIFICATION {
  ULONG cbEntryID;      // size of the object's entry id
  LPENTRYID lpEntryID;  // the object concerned, may be null
  SCODE scode;          // the error
  ULONG ulFlags;        // unused
  void *lpMAPIError;    // always null here
};

// One notification; which member of info is meant follows ulEventType.
struct NOTIFICATION {
  ULONG ulEventType; // one fnev* value
  ULONG ulAlignPad;  // unused
  union {
    ERROR_NOTIFICATION err;      // fnevCriticalError
    NEWMAIL_NOTIFICATION newmail; // fnevNewMail
    OBJECT_NOTIFICATION obj;     // the fnevObject* events
  } info;
};
using LPNOTIFICATION = NOTIFICATION *;

// ---- Interface ids -----------------------------------------------------------

inline constexpr IID IID_IMAPISession = {0x00020300, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPITable = {0x00020301, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIAdviseSink = {0x00020302, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIProp = {0x00020303, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMsgStore = {0x00020306, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMessage = {0x00020307, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIContainer = {0x0002030B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIFolder = {0x0002030C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// ---- Interfaces ----------------------------------------------------------------

struct IMAPITable;
struct IMAPIFolder;
struct IMsgStore;
struct IMAPIProgress; // never implemented; CopyMessages takes null
using LPMAPITABLE = IMAPITable *;
using LPMAPIFOLDER = IMAPIFolder *;
using LPMDB = IMsgStore *;
using LPMAPIPROGRESS = IMAPIProgress *;
using LPUNKNOWN = IUnknown *;

// Implemented by the program: receives a store's notifications. OnNotify is
// called on the messaging system's notification thread, never on the thread
// that caused the change, with an array the callee must neither keep nor free
// (it is freed when OnNotify returns). The return value is ignored. The store
// holds a reference to the sink from Advise until Unadvise or the logoff.
struct IMAPIAdviseSink : IUnknown {
  virtual ULONG OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) = 0;
};
using LPMAPIADVISESINK = IMAPIAdviseSink *;

// Properties of a store, folder or message.
struct IMAPIProp : IUnknown {
  // Reads the properties named by lpPropTagArray (null is not supported:
  // MAPI_E_INVALID_PARAMETER). On 0 or MAPI_W_ERRORS_RETURNED, *lpcValues is the
  // number of tags and *lppPropArray one buffer (free with MAPIFreeBuffer) with a
  // value per tag in order; a value that could not be read has type PT_ERROR
  // and the reason in Value.err, and then the result is MAPI_W_ERRORS_RETURNED.
  // ulFlags: MAPI_UNICODE (text is always UTF-16). Other failures leave the
  // outputs null/0.
  virtual HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues,
                           LPSPropValue *lppPropArray) = 0;
  // Writes cValues values; the change is stored at once (there is no
  // SaveChanges) and announced with fnevObjectModified. lppProblems may be
  // null; when given it receives null or a buffer naming values that were not
  // written (free with MAPIFreeBuffer). Read-only properties (entry ids, object
  // type) are problems with MAPI_E_NO_ACCESS.
  virtual HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray,
                           LPSPropProblemArray *lppProblems) = 0;
  // Opens a property as an object. The one supported use: a message's
  // PR_CE_MIME_TEXT with IID_IStream (platform/com/stream.h), a read-only
  // stream of the message's Internet text (headers first) as it was when
  // opened. MAPI_E_NOT_FOUND when the message has no such text,
  // MAPI_E_INTERFACE_NOT_SUPPORTED for another interface, MAPI_E_NO_SUPPORT
  // for MAPI_CREATE/MAPI_MODIFY. The caller releases *lppUnk.
  virtual HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions,
                               ULONG ulFlags, LPUNKNOWN *lppUnk) = 0;
};
using LPMAPIPROP = IMAPIProp *;

// A table of rows, one per store, subfolder or message, taken when the table
// was obtained (later changes to the folder do not show). The default columns
// start with PR_ENTRYID (binary), followed by PR_DISPLAY_NAME for stores and
// folders and by PR_SUBJECT for messages.
struct IMAPITable : IUnknown {
  // Chooses the columns of the rows that QueryRows returns from now on. A tag
  // the object lacks comes back as a PT_ERROR value with MAPI_E_NOT_FOUND.
  virtual HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
  // Returns up to lRowCount rows from the cursor (lRowCount > 0) and moves the
  // cursor past them. At the end of the table *lppRows has cRows 0 (still a
  // buffer to free). Free the row set with FreeProws.
  virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows) = 0;
  // The number of rows.
  virtual HRESULT GetRowCount(ULONG ulFlags, ULONG *lpulCount) = 0;
};

// A folder's two tables.
struct IMAPIContainer : IMAPIProp {
  // Messages directly in this folder. ulFlags: 0 or MAPI_UNICODE.
  virtual HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
  // Direct subfolders of this folder. ulFlags: 0 or MAPI_UNICODE.
  virtual HRESULT GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
};
using LPMAPICONTAINER = IMAPIContainer *;

struct IMAPIFolder : IMAPIContainer {
  // Creates a direct subfolder named lpszFolderName (UTF-16; folder type 0 or
  // FOLDER_GENERIC). Names are compared exactly (case matters). With
  // OPEN_IF_EXISTS an existing subfolder of that name is opened instead;
  // without it an existing name is MAPI_E_COLLISION. The new folder is announced
  // with fnevObjectCreated. The caller releases *lppFolder.
  virtual HRESULT CreateFolder(ULONG ulFolderType, LPTSTR lpszFolderName,
                               LPTSTR lpszFolderComment, LPCIID lpInterface, ULONG ulFlags,
                               LPMAPIFOLDER *lppFolder) = 0;
  // Copies (or with MESSAGE_MOVE moves) the listed messages of this folder to
  // lpDestFolder, an IMAPIFolder of the same session. Each message is announced
  // with fnevObjectCopied or fnevObjectMoved. MAPI_W_PARTIAL_COMPLETION when
  // some listed messages are not in this folder; lpProgress must be null.
  virtual HRESULT CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder,
                               ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                               ULONG ulFlags) = 0;
};

struct IMessage : IMAPIProp {};
using LPMESSAGE = IMessage *;

// A message store: its properties name its special folders.
struct IMsgStore : IMAPIProp {
  // Subscribes lpAdviseSink to the store's changes. cbEntryID 0 and a null id:
  // the whole store; otherwise the events about that object and its direct
  // children, a child moved away included. ulEventMask selects fnev* events. The store AddRefs the sink and
  // calls its OnNotify on the notification thread until Unadvise or the
  // session's logoff, which both release it. *lpulConnection names the
  // subscription (never 0).
  virtual HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                         LPMAPIADVISESINK lpAdviseSink, ULONG *lpulConnection) = 0;
  // Ends a subscription and releases its sink. Called from another thread than
  // the notification thread, it waits until a running OnNotify of that sink has
  // returned; after it returns the sink is not called again. MAPI_E_NOT_FOUND
  // for an unknown connection (also after the logoff).
  virtual HRESULT Unadvise(ULONG ulConnection) = 0;
  // Opens a folder or message of this store by entry id (lpInterface null: the
  // object's own interface). *lpulObjType (may be null) receives MAPI_FOLDER or
  // MAPI_MESSAGE. MAPI_E_NOT_FOUND when the id names nothing in this store.
  virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                            ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) = 0;
  // The entry id of the folder that receives messages of lpszMessageClass (null
  // or empty: the default class, the Inbox). *lppEntryID is a buffer to free
  // with MAPIFreeBuffer. lppszExplicitClass may be null; when given it receives
  // a buffer holding the empty text. MAPI_E_NOT_FOUND when the store has none.
  virtual HRESULT GetReceiveFolder(LPTSTR lpszMessageClass, ULONG ulFlags, ULONG *lpcbEntryID,
                                   LPENTRYID *lppEntryID, LPTSTR *lppszExplicitClass) = 0;
};

// The session of one MAPILogonEx.
struct IMAPISession : IUnknown {
  // A table of the message stores, one row per store: PR_ENTRYID,
  // PR_DISPLAY_NAME. ulFlags: 0 or MAPI_UNICODE.
  virtual HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
  // Opens the store named by an entry id from the stores table.
  // MAPI_E_NOT_FOUND when it does not exist.
  virtual HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                               LPCIID lpInterface, ULONG ulFlags, LPMDB *lppMDB) = 0;
  // Opens any store, folder or message by entry id; *lpulObjType (may be null)
  // receives its type.
  virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                            ULONG ulFlags, ULONG *lpulObjType, LPUNKNOWN *lppUnk) = 0;
  // Ends the session: every subscription of its stores ends (their sinks are
  // released, after a running OnNotify has returned unless Logoff is called on
  // the notification thread itself), and from then on every method of the
  // session's objects fails with MAPI_E_END_OF_SESSION except AddRef/Release
  // and Unadvise (MAPI_E_NOT_FOUND). The objects stay valid until released.
  virtual HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) = 0;
};
using LPMAPISESSION = IMAPISession *;
