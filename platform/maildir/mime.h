// MIME structure (RFC 2045, 2046, 2183, 2231): header parameters and
// whether a message carries attachments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One parameter of a structured header ("; name=value").
struct MimeParam {
  std::string name;  // lower case, without the RFC 2231 "*" and section marks
  std::string value; // unquoted; RFC 2231 sections joined and %XX decoded
};

// "type/subtype; params" of Content-Type, or "disposition; params" of
// Content-Disposition (subtype then empty).
struct MimeHeader {
  std::string type;              // lower case; empty when the value has none
  std::string subtype;           // lower case
  std::vector<MimeParam> params; // in header order, one per name
};

// Parses a Content-Type or Content-Disposition value. Comments, quoted
// strings and RFC 2231 continuations ("name*0*=utf-8''a%20b; name*1=c") are
// understood; anything unreadable is skipped.
MimeHeader parseMimeHeader(std::string_view value);

// The value of a parameter by (lower-case) name, or null.
const std::string *findParam(const MimeHeader &h, std::string_view name);

// True when the message (its full text, headers first) carries an
// attachment: a part with disposition "attachment"; a part named by a
// filename, except an inline part of multipart/related (an embedded
// image); an attached message (message/rfc822); or a body or part that is
// neither text nor multipart, except the signature of multipart/signed and
// the parts of multipart/related and multipart/alternative. Nesting beyond
// a sane depth is not followed. A header-only text has no attachment.
bool messageHasAttachments(std::string_view text);

struct HeaderSection;
// The same, for a caller that has parsed the message's header section already.
bool messageHasAttachments(std::string_view text, const HeaderSection &headers);

// What the first bytes of a message tell of its attachments.
enum class Attachments { None, Found, Unknown };

// The same judgement over the first bytes of a message (more: the rest is
// still unread), so that a reader stops once they decide: Found as soon as
// a part read so far is an attachment, None only once nothing unread could
// add one, else Unknown. With more false it is messageHasAttachments.
Attachments attachmentsInFirstBytes(std::string_view text, const HeaderSection &headers, bool more);
