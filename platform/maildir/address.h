// The first mailbox of an address header (RFC 5322 3.4): its display name
// and its address.
#pragma once

#include <string>
#include <string_view>

// A mailbox as written in a header, not yet decoded.
struct Mailbox {
  std::string displayName; // phrase before "<...>", or the comment after a bare address;
                           // quotes removed, encoded words not yet decoded
  std::string address;     // addr-spec, without angle brackets, comments or blanks
};

// Parses the first mailbox of an unfolded From, Sender or To value. Accepts
// "Name <a@b>", "\"Last, First\" <a@b>", "a@b (Name)", "a@b", a group
// ("team: a@b, c@d;") and broken forms; the address is empty when there
// is none.
Mailbox parseFirstMailbox(std::string_view value);
