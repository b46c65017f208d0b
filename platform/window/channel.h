// The window channel: how messages reach a window of another process of the
// same user. Each reachable window listens on a Unix stream socket in a
// folder only the user can open; a sender connects, writes one request and,
// for a sent message, reads the replies. The bytes that arrive are outside
// data: decodeRequest and decodeReply accept only well-formed, bounded frames.
//
// Request (integers little-endian):
//   0  u32  magic "QMW1"
//   4  u32  kind: 1 posted, 2 sent, 3 sent lending a terminal
//   8  u32  message
//   12 u32  class name length in UTF-16 units (1..256)
//   16 u32  title length in UTF-16 units (1..256)
//   20 u32  data length in bytes (0..COPYDATA_MAX_BYTES; WM_COPYDATA only)
//   24 u64  wParam
//   32 u64  lParam, or dwData for WM_COPYDATA
//   40      class name, title (UTF-16LE), then the data bytes
//   kind 3 only, after them:
//           u32  terminal type length (1..CHANNEL_MAX_TERM_NAME), then the
//                terminal type (TERM) in ASCII; the terminal itself travels
//                as one descriptor (SCM_RIGHTS) with the request's bytes
// Reply (16 bytes):
//   0  u32  magic "QMR1"
//   4  u32  status: 0 done (result valid), 1 picked up, 2 refused,
//           3 declined (picked up; handled on the receiver's own display),
//           4 busy (a terminal is lent to it already; not handled)
//   8  u64  result
#pragma once

#include "platform/base/types.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Largest WM_COPYDATA payload that crosses to another process.
constexpr DWORD COPYDATA_MAX_BYTES = 64 * 1024;
// Longest class name and title of a reachable window, in UTF-16 units.
constexpr std::size_t CHANNEL_MAX_NAME_UNITS = 256;
// Fixed part of a request and the whole reply.
constexpr std::size_t CHANNEL_REQUEST_HEADER = 40;
constexpr std::size_t CHANNEL_REPLY_SIZE = 16;
// Longest terminal type a lending sender names.
constexpr std::size_t CHANNEL_MAX_TERM_NAME = 64;
// Largest request a receiver reads.
constexpr std::size_t CHANNEL_MAX_REQUEST = CHANNEL_REQUEST_HEADER + 4 * CHANNEL_MAX_NAME_UNITS +
                                            COPYDATA_MAX_BYTES + 4 + CHANNEL_MAX_TERM_NAME;
// How long SendMessageW waits for another process to pick a message up.
constexpr int SEND_PICKUP_TIMEOUT_MS = 10000;
// How long a lender that asked for its terminal back waits for it.
constexpr int LEND_GIVE_BACK_MS = 5000;
// How long a receiver keeps a connection that has not delivered a whole request.
constexpr int CHANNEL_CONNECTION_IDLE_MS = 5000;

enum class ChannelKind : std::uint32_t {
  Posted = 1, // PostMessageW: no reply
  Sent = 2,   // SendMessageW: replies "picked up", then "done" with the result
  SentLending = 3, // sent with the sender's terminal lent for the handling (lend.h)
};

// One decoded request.
struct ChannelRequest {
  ChannelKind kind = ChannelKind::Posted; // posted or sent
  UINT message = 0;                       // the message number
  std::u16string className;               // class of the window it is for
  std::u16string title;                   // title of the window it is for
  std::uint64_t wParam = 0;               // first parameter
  std::uint64_t lParam = 0;               // second parameter, or dwData for WM_COPYDATA
  std::vector<std::uint8_t> data;         // WM_COPYDATA's bytes
  std::string terminalName;               // SentLending: the lent terminal's type
};

enum class ReplyStatus : std::uint32_t {
  Done = 0,     // handled; result is the window procedure's
  PickedUp = 1, // the receiving thread has started handling it
  Refused = 2,  // no such window there, or a request that may not cross
  Declined = 3, // a lent terminal not taken: the receiver shows on its own display
  Busy = 4,     // a lent terminal refused: another one is lent to the receiver already
};

// One decoded reply.
struct ChannelReply {
  ReplyStatus status = ReplyStatus::Refused; // what happened
  std::uint64_t result = 0;                  // the result when done
};

// Outcome of decoding the bytes received so far.
enum class Decoded {
  Incomplete, // a valid beginning; more bytes are needed
  Complete,   // a whole frame; *consumed says how many bytes it took
  Malformed,  // not a frame this side accepts; drop the connection
};

// Which messages may cross between processes: WM_COPYDATA (sent only, its
// bytes being the only data), WM_NULL, and WM_USER up to 0xBFFF (numbers
// whose parameters are plain values). Others carry pointers or belong to the
// window system itself and are refused.
bool channelMessageAllowed(ChannelKind kind, UINT message, std::size_t dataBytes);

// A terminal type a lending sender may name: 1..CHANNEL_MAX_TERM_NAME
// letters, digits and ".+-_", not beginning with '.', so that it can only
// name an entry of the terminal database, never a path.
bool channelTerminalNameValid(std::string_view name);

// Encodes a request; the caller keeps to the limits above (the sender checks
// them first with channelMessageAllowed and the name lengths).
std::vector<std::uint8_t> encodeRequest(const ChannelRequest &request);
std::vector<std::uint8_t> encodeReply(const ChannelReply &reply);

// Decodes the first frame of bytes. Never reads past size, never allocates
// more than the frame's bounded size.
Decoded decodeRequest(const std::uint8_t *bytes, std::size_t size, ChannelRequest *out,
                      std::size_t *consumed);
Decoded decodeReply(const std::uint8_t *bytes, std::size_t size, ChannelReply *out,
                    std::size_t *consumed);

// The folder of the sockets: $XDG_RUNTIME_DIR/quillmarsh when
// XDG_RUNTIME_DIR is an absolute path, else /tmp/quillmarsh-<uid>. With
// create, it is made (mode 0700) when missing. Null when it is missing, not a
// real folder, not owned by this user, or open to others; with create, that
// is said once per folder on standard error.
std::optional<std::filesystem::path> channelDirectory(bool create);

// The socket of the window of that class and title under the current data
// root: "<root key>-<window key>.sock" in channelDirectory, the keys being
// 64-bit hashes in hex of the canonical data root and of the lower-cased
// class and title. Null when the folder is unusable or the path too long.
std::optional<std::filesystem::path> channelSocketPath(std::u16string_view className,
                                                       std::u16string_view title, bool create);

// Test seam: the user id that peers must have (default: this process's
// effective user id), so that a test can see a peer refused.
void channelExpectUidForTest(uid_t uid);
void channelExpectOwnUid();
