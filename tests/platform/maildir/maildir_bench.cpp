// The two costs that matter for a store of 10,000 messages, each beside its
// floor measured in the same run on the same files:
//   reading every message's properties as the processing pass does (contents
//   table, then per message OpenEntry and ten one-tag GetProps) against
//   opening and reading each file once;
//   moving every message with CopyMessages(MESSAGE_MOVE), one at a time as
//   the rule actions do, against renaming the same files.
#include "platform/maildir/entry_id.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapitags.h"
#include "platform/mapi/mapix.h"

#include "tests/support/temp_root.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int MESSAGES = 10000;

std::string messageText(int i)
{
  std::string text =
      "Received: from mx.example.org (mx.example.org [192.0.2.1]) by mail.example.net\r\n"
      "\tfor <bob@example.net>; Mon, 6 May 2024 10:00:00 +0000\r\n"
      "Received: from relay.example.org by mx.example.org; Mon, 6 May 2024 09:59:58 +0000\r\n"
      "Message-ID: <" + std::to_string(i) + ".1715000000@example.org>\r\n"
      "Date: Mon, 6 May 2024 10:00:00 +0000\r\n"
      "From: =?utf-8?q?J=C3=B6rg_Example?= <joerg" + std::to_string(i % 50) + "@example.org>\r\n"
      "To: Bob <bob@example.net>, team@example.net\r\n"
      "Cc: =?iso-8859-1?q?Ren=E9?= <rene@example.net>\r\n"
      "Subject: =?utf-8?B?UmU6IHByb2plY3Qgc3RhdHVz?= number " + std::to_string(i) + "\r\n"
      "MIME-Version: 1.0\r\n";
  if (i % 10 == 0) {
    text += "Content-Type: multipart/mixed; boundary=\"b" + std::to_string(i) + "\"\r\n\r\n--b" +
            std::to_string(i) + "\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
            std::string(1500, 'a') + "\r\n--b" + std::to_string(i) +
            "\r\nContent-Type: application/pdf; name=report.pdf\r\n"
            "Content-Disposition: attachment; filename=report.pdf\r\n\r\n" +
            std::string(2000, 'P') + "\r\n--b" + std::to_string(i) + "--\r\n";
  } else {
    text += "Content-Type: text/plain; charset=utf-8\r\n\r\n";
    for (int line = 0; line < 30; ++line)
      text += "The quick brown fox jumps over the lazy dog, line " + std::to_string(line) + ".\r\n";
  }
  return text;
}

// A data root with one store whose Inbox holds the messages, written by
// hand (no fsync per file: only the setting up would be slower).
struct Scene {
  TempDir dir;                 // the data root
  fs::path inbox, work;        // Inbox and Work folders of store "Local"

  Scene()
  {
    setenv("QUILLMARSH_ROOT", dir.path.c_str(), 1);
    fs::path local = dir.path / "Mail" / "Local";
    inbox = local / "Inbox";
    work = local / "Work";
    for (const fs::path &f : {local, inbox, work, local / "Deleted Items"})
      for (const char *sub : {"cur", "new", "tmp"})
        fs::create_directories(f / sub);
    for (int i = 0; i < MESSAGES; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "%d.M%dP1.bench:2,%s", 1700000000 + i, i, i % 3 ? "" : "S");
      std::ofstream(inbox / "cur" / name, std::ios::binary) << messageText(i);
    }
  }
};

Scene &scene()
{
  static Scene s;
  return s;
}

std::vector<std::string> filesIn(const fs::path &dir)
{
  std::vector<std::string> out;
  DIR *d = opendir(dir.c_str());
  while (dirent *e = readdir(d))
    if (e->d_name[0] != '.')
      out.push_back(e->d_name);
  closedir(d);
  return out;
}

// A session on the scene, as the program opens it.
struct Session {
  IMAPISession *session = nullptr;
  Session()
  {
    scene();
    MAPISetProvider(maildirProvider());
    MAPIInitialize(nullptr);
    MAPILogonEx(0, nullptr, nullptr, 0, &session);
  }
  ~Session()
  {
    session->Logoff(0, 0, 0);
    session->Release();
    MAPIUninitialize();
  }
  template <class T>
  T *open(const std::vector<BYTE> &id)
  {
    IUnknown *unk = nullptr;
    ULONG type = 0;
    session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(id.data())),
                       nullptr, 0, &type, &unk);
    return static_cast<T *>(unk);
  }
  std::vector<std::vector<BYTE>> contents(IMAPIFolder *folder)
  {
    IMAPITable *table = nullptr;
    folder->GetContentsTable(0, &table);
    std::vector<std::vector<BYTE>> ids;
    for (;;) {
      SRowSet *rows = nullptr;
      if (table->QueryRows(1, 0, &rows) != S_OK)
        break;
      bool one = rows->cRows == 1;
      if (one)
        ids.emplace_back(rows->aRow[0].lpProps[0].Value.bin.lpb,
                         rows->aRow[0].lpProps[0].Value.bin.lpb + rows->aRow[0].lpProps[0].Value.bin.cb);
      FreeProws(rows);
      if (!one)
        break;
    }
    table->Release();
    return ids;
  }
};

std::vector<BYTE> folderOf(const char *name) { return encodeMaildirId(folderId("Local", {name})); }

const ULONG RECORD_TAGS[] = {PR_CE_MESSAGE_SIZE, PR_MESSAGE_FLAGS,  PR_MSG_STATUS,
                             PR_MESSAGE_DELIVERY_TIME, PR_HASATTACH, PR_SENDER_NAME,
                             PR_SENDER_EMAIL_ADDRESS,  PR_DISPLAY_TO, PR_DISPLAY_CC,
                             PR_SUBJECT};

void BM_ReadProperties(benchmark::State &state)
{
  Session s;
  IMAPIFolder *inbox = s.open<IMAPIFolder>(folderOf("Inbox"));
  for (auto _ : state) {
    // Row by row, each message read before the next row, as the full scan does.
    IMAPITable *table = nullptr;
    inbox->GetContentsTable(0, &table);
    for (;;) {
      SRowSet *rows = nullptr;
      if (table->QueryRows(1, 0, &rows) != S_OK || rows->cRows != 1) {
        FreeProws(rows);
        break;
      }
      const SBinary &bin = rows->aRow[0].lpProps[0].Value.bin;
      std::vector<BYTE> id(bin.lpb, bin.lpb + bin.cb);
      FreeProws(rows);
      IMessage *m = s.open<IMessage>(id);
      for (ULONG tag : RECORD_TAGS) {
        SizedSPropTagArray(1, tags) = {1, {tag}};
        ULONG count = 0;
        SPropValue *v = nullptr;
        m->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &v);
        benchmark::DoNotOptimize(v);
        MAPIFreeBuffer(v);
      }
      m->Release();
    }
    table->Release();
  }
  inbox->Release();
  state.SetItemsProcessed(state.iterations() * MESSAGES);
}

void BM_ReadFloor(benchmark::State &state)
{
  fs::path cur = scene().inbox / "cur";
  std::vector<std::string> files = filesIn(cur);
  std::vector<char> buf(64 * 1024);
  for (auto _ : state) {
    for (const std::string &f : files) {
      int fd = open((cur / f).c_str(), O_RDONLY | O_CLOEXEC);
      ssize_t n = read(fd, buf.data(), buf.size());
      benchmark::DoNotOptimize(n);
      close(fd);
    }
  }
  state.SetItemsProcessed(state.iterations() * MESSAGES);
}

void BM_MoveMessages(benchmark::State &state)
{
  Session s;
  IMAPIFolder *folders[2] = {s.open<IMAPIFolder>(folderOf("Inbox")), s.open<IMAPIFolder>(folderOf("Work"))};
  int from = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto ids = s.contents(folders[from]);
    state.ResumeTiming();
    for (auto &id : ids) {
      SBinary one{static_cast<ULONG>(id.size()), id.data()};
      ENTRYLIST list{1, &one};
      folders[from]->CopyMessages(&list, nullptr, folders[1 - from], 0, nullptr, MESSAGE_MOVE);
    }
    from = 1 - from;
  }
  // Back where the next benchmark expects them.
  if (from == 1)
    for (auto &id : s.contents(folders[1])) {
      SBinary one{static_cast<ULONG>(id.size()), id.data()};
      ENTRYLIST list{1, &one};
      folders[1]->CopyMessages(&list, nullptr, folders[0], 0, nullptr, MESSAGE_MOVE);
    }
  folders[0]->Release();
  folders[1]->Release();
  state.SetItemsProcessed(state.iterations() * MESSAGES);
}

void BM_MoveFloor(benchmark::State &state)
{
  fs::path dirs[2] = {scene().inbox / "cur", scene().work / "cur"};
  int from = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> files = filesIn(dirs[from]);
    state.ResumeTiming();
    for (const std::string &f : files)
      rename((dirs[from] / f).c_str(), (dirs[1 - from] / f).c_str());
    from = 1 - from;
  }
  if (from == 1)
    for (const std::string &f : filesIn(dirs[1]))
      rename((dirs[1] / f).c_str(), (dirs[0] / f).c_str());
  state.SetItemsProcessed(state.iterations() * MESSAGES);
}

BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_ReadProperties)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_MoveFloor)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_MoveMessages)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace
