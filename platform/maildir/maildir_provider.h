// The Maildir provider: the message stores below <root>/Mail as the
// messaging library sees them (MAPISetProvider(maildirProvider())).
// docs/maildir.md describes the layout, the entry ids, the side file and the
// transport area.
//
// Each session watches the stores with inotify on a thread of its own and
// posts what changed (messages created, modified, moved, deleted; folders
// created, moved, deleted; new mail in the receive folder), whether the
// change came from this session, from another one, or from another program.
// The same thread is the session's transport: a header-only message that is
// marked for download (MSGSTATUS_REMOTE_DOWNLOAD) gets its full text from
// the transport area, and the change is posted as a modification.
#pragma once

#include "platform/mapi/provider.h"

#include <filesystem>
#include <string>

// How sessions of a Maildir provider behave.
struct MaildirOptions {
  bool watch = true;         // watch the stores and post other programs' changes
  bool autoTransport = true; // complete downloads when a message is marked; when false (or
                             // QUILLMARSH_TRANSPORT=hold in the environment) marks wait for
                             // completeDownloads
  bool create = true;        // make the default store when there is none, and the transport
                             // area, and say when Mail/ goes and comes back; false only looks
                             // (folders are made only by writes) and says nothing of Mail/
};

// The provider with default options, for the program. Lives for the process.
const MapiProvider *maildirProvider();

// A provider with other options. The returned table lives until
// destroyMaildirProvider; sessions opened on it must be released first.
MapiProvider *createMaildirProvider(const MaildirOptions &options);
void destroyMaildirProvider(MapiProvider *provider);
