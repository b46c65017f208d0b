// The registry calls over the hive files: sizes, types and error codes as the
// platform publishes them, names without regard to case, deleted keys,
// damaged files, and writers in several threads and processes.
#include "platform/registry/registry.h"

#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class Registry : public TempRootTest {
protected:
  HKEY create(HKEY root, const WCHAR *path, DWORD *disposition = nullptr)
  {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition), ERROR_SUCCESS);
    return key;
  }
  void setText(HKEY key, const WCHAR *name, std::u16string_view text)
  {
    std::u16string t(text);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(t.c_str()),
                             static_cast<DWORD>((t.size() + 1) * 2)),
              ERROR_SUCCESS);
  }
  std::string hiveText(const char *file)
  {
    auto bytes = readFile(std::filesystem::path("Registry") / file);
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(Registry, QuerySizesTypesAndMoreData)
{
  HKEY key = create(HKEY_CURRENT_USER, u"Software\\Tarnwell\\Brindlewick");
  setText(key, u"ShowTrayIcon", u"TRUE");
  DWORD cp = 42;
  ASSERT_EQ(RegSetValueExW(key, u"CP", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&cp), 4), ERROR_SUCCESS);

  // Null data asks the size, terminator included.
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"ShowTrayIcon", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 10u);

  // One byte short: ERROR_MORE_DATA with the size needed, and the type.
  WCHAR text[8] = {};
  size = 9;
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"ShowTrayIcon", nullptr, &type, reinterpret_cast<BYTE *>(text), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(type, REG_SZ);

  size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, u"showtrayicon", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(std::u16string(text), u"TRUE");

  DWORD back = 0;
  size = sizeof back;
  EXPECT_EQ(RegQueryValueExW(key, u"CP", nullptr, &type, reinterpret_cast<BYTE *>(&back), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(back, 42u);

  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, u"CP", nullptr, &type, reinterpret_cast<BYTE *>(&back), nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  std::string file = hiveText("user.reg");
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Tarnwell\\Brindlewick]\n\"ShowTrayIcon\"=\"TRUE\"\n"
                      "\"CP\"=dword:0000002a\n"),
            std::string::npos)
      << file;
}

TEST_F(Registry, KeysOpenCreateAndDelete)
{
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  DWORD disposition = 0;
  HKEY a = create(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}\\InprocServer32", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY b = create(HKEY_CLASSES_ROOT, u"\\clsid\\{abc}", &disposition); // leading backslash, other case
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  setText(b, nullptr, u"Display name"); // the default value
  WCHAR text[32];
  DWORD size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(b, u"", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"Display name");

  // The key keeps the case it was created with.
  DWORD n = 32;
  EXPECT_EQ(RegEnumKeyExW(HKEY_CLASSES_ROOT, 0, text, &n, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"CLSID");
  n = 32;
  EXPECT_EQ(RegEnumKeyExW(HKEY_CLASSES_ROOT, 1, text, &n, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  n = 2;
  EXPECT_EQ(RegEnumKeyExW(b, 0, text, &n, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

  // Deleting a key takes its subkeys along; an open handle then sees it gone.
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(a, nullptr, nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExW(a, u"x", 0, REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
  HKEY c = nullptr;
  EXPECT_EQ(RegCreateKeyExW(a, u"below", 0, nullptr, 0, 0, nullptr, &c, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &c), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u""), ERROR_ACCESS_DENIED);

  EXPECT_EQ(RegCloseKey(a), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(b), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(c), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(c), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  // Each root is a file of its own.
  EXPECT_NE(hiveText("classes.reg").find("[HKEY_CLASSES_ROOT\\CLSID]"), std::string::npos);
  EXPECT_TRUE(hiveText("machine.reg").empty());
}

TEST_F(Registry, ValuesDeleteAndEnumerate)
{
  HKEY key = create(HKEY_LOCAL_MACHINE, u"K");
  setText(key, u"First", u"1");
  BYTE blob[] = {1, 2, 3};
  ASSERT_EQ(RegSetValueExW(key, u"Second", 0, REG_BINARY, blob, 3), ERROR_SUCCESS);
  WCHAR name[16];
  DWORD n = 16, type = 0, size = 0;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &n, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Second");
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 3u);
  n = 16;
  EXPECT_EQ(RegEnumValueW(key, 2, name, &n, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegDeleteValueW(key, u"FIRST"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"First"), ERROR_FILE_NOT_FOUND);
  n = 16;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &n, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Second");
  RegCloseKey(key);
}

TEST_F(Registry, ReadersSeeTheLatestFile)
{
  HKEY key = create(HKEY_CURRENT_USER, u"K");
  setText(key, u"v", u"old");
  // Another process replaces the hive.
  std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"new\"\n";
  writeFile("Registry/user.reg", std::vector<unsigned char>(text.begin(), text.end()));
  WCHAR buf[8];
  DWORD size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, reinterpret_cast<BYTE *>(buf), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buf), u"new");
  RegCloseKey(key);
}

TEST_F(Registry, WhatAKilledSaveLeftGoesAtTheFirstReadNotWhatALiveWriterWrites)
{
  // 999999999 is above any process id Linux gives: a writer that is gone.
  std::string killed = ".machine.reg.tmp.999999999.Ab12Cd";
  std::string live = ".machine.reg.tmp." + std::to_string(getpid()) + ".Ab12Cd";
  writeFile("Registry/" + killed, {'x'});
  writeFile("Registry/" + live, {'x'});
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(root / "Registry" / killed));
  EXPECT_TRUE(std::filesystem::exists(root / "Registry" / live));
}

// A change that changes nothing writes nothing: opening an existing key with
// RegCreateKeyExW and setting a value to what it holds leave the file as it
// was (a rewrite would drop the comment line and replace the file).
TEST_F(Registry, ACallThatChangesNothingLeavesTheFileAlone)
{
  std::string text = "Windows Registry Editor Version 5.00\n; kept\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"same\"\n";
  writeFile("Registry/user.reg", std::vector<unsigned char>(text.begin(), text.end()));
  struct stat before {};
  ASSERT_EQ(stat((root / "Registry/user.reg").c_str(), &before), 0);
  DWORD disposition = 0;
  HKEY key = create(HKEY_CURRENT_USER, u"K", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  setText(key, u"V", u"same"); // names without regard to case
  RegCloseKey(key);
  struct stat after {};
  ASSERT_EQ(stat((root / "Registry/user.reg").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(hiveText("user.reg"), text);
}

TEST_F(Registry, DamagedHiveKeepsWhatIsReadableAndACopy)
{
  std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"good\"=\"yes\"\n"
                     "\"bad\"=dword:zz\n\x01\xFF garbage\n[HKEY_CURRENT_USER\\K\\Sub]\n\"cut\"=hex:01,0";
  writeFile("Registry/user.reg", std::vector<unsigned char>(text.begin(), text.end()));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"good", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"bad", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  HKEY sub = nullptr;
  ASSERT_EQ(RegOpenKeyExW(key, u"Sub", 0, KEY_READ, &sub), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(sub, u"cut", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  // The first write keeps the readable part and the damaged file beside it.
  setText(key, u"more", u"1");
  EXPECT_EQ(RegQueryValueExW(key, u"good", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(hiveText("user.reg.damaged"), text);
  EXPECT_EQ(hiveText("user.reg").find("garbage"), std::string::npos);
  RegCloseKey(sub);
  RegCloseKey(key);
}

TEST_F(Registry, AHiveThatIsNotARegularFileReadsEmptyAndNeverBlocks)
{
  std::filesystem::create_directories(root / "Registry");
  ASSERT_EQ(mkfifo((root / "Registry" / "user.reg").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", root / "Registry" / "machine.reg");
  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    EXPECT_EQ(RegOpenKeyExW(hive, u"K", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(hive, u"K", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  }
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.find("user.reg is not a regular file"), said.rfind("user.reg is not a regular file")) << said;
  EXPECT_NE(said.find("machine.reg is not a regular file"), std::string::npos) << said;
  // A write puts a sound hive in its place.
  key = create(HKEY_CURRENT_USER, u"K");
  setText(key, u"v", u"1");
  RegCloseKey(key);
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(root / "Registry" / "user.reg")));
  EXPECT_NE(hiveText("user.reg").find("\"v\"=\"1\""), std::string::npos);
}

TEST_F(Registry, ConcurrentThreadsLoseNoUpdate)
{
  constexpr int THREADS = 4, EACH = 15;
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < EACH; ++i) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Shared", 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS)
          continue;
        DWORD v = static_cast<DWORD>(i);
        std::u16string name = u"t" + std::u16string(1, static_cast<char16_t>(u'0' + t)) + u"_" +
                              std::u16string(1, static_cast<char16_t>(u'A' + i));
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), 4);
        RegCloseKey(key);
      }
    });
  for (auto &t : threads)
    t.join();
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Shared", 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR name[16];
  DWORD count = 0, n = 16;
  while (RegEnumValueW(key, count, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    ++count, n = 16;
  EXPECT_EQ(count, static_cast<DWORD>(THREADS * EACH));
  RegCloseKey(key);
}

TEST_F(Registry, ConcurrentProcessesLoseNoUpdate)
{
  constexpr int PROCESSES = 2, EACH = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < PROCESSES; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < EACH; ++i) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Shared", 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS) {
          ++failures;
          continue;
        }
        std::u16string name = u"p" + std::u16string(1, static_cast<char16_t>(u'0' + p)) + u"_" +
                              std::u16string(1, static_cast<char16_t>(u'A' + i));
        DWORD v = static_cast<DWORD>(i);
        failures += RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), 4) != 0;
        RegCloseKey(key);
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Shared", 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR name[16];
  DWORD count = 0, n = 16;
  while (RegEnumValueW(key, count, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    ++count, n = 16;
  EXPECT_EQ(count, static_cast<DWORD>(PROCESSES * EACH));
  RegCloseKey(key);
}

// A batch: the thread sees its changes at once, the hive files stay as they
// were until the end, which writes each changed hive once with all of them.
TEST_F(Registry, ABatchWritesEachHiveOnceWithEveryChange)
{
  HKEY old = create(HKEY_CURRENT_USER, u"Old");
  setText(old, u"v", u"before");
  RegCloseKey(old);
  struct stat before {};
  ASSERT_EQ(stat((root / "Registry/user.reg").c_str(), &before), 0);

  beginRegistryBatch();
  HKEY key = create(HKEY_CURRENT_USER, u"Software\\Batch");
  setText(key, u"a", u"1");
  setText(key, u"b", u"2");
  HKEY machine = create(HKEY_LOCAL_MACHINE, u"Shell\\Ext");
  setText(machine, nullptr, u"name");
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Old"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Missing"), ERROR_FILE_NOT_FOUND);
  // This thread reads what it changed.
  WCHAR text[8];
  DWORD size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, u"b", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"2");
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Old", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  // Another thread, and the files, still have the hives as they were.
  std::thread([&] {
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Old", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Batch", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  }).join();
  struct stat during {};
  ASSERT_EQ(stat((root / "Registry/user.reg").c_str(), &during), 0);
  EXPECT_EQ(during.st_ino, before.st_ino);
  EXPECT_FALSE(std::filesystem::exists(root / "Registry/machine.reg"));
  RegCloseKey(machine);
  RegCloseKey(key);

  EXPECT_EQ(endRegistryBatch(), ERROR_SUCCESS);
  EXPECT_EQ(hiveText("user.reg"), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER]\n\n"
                                  "[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Batch]\n"
                                  "\"a\"=\"1\"\n\"b\"=\"2\"\n");
  EXPECT_NE(hiveText("machine.reg").find("[HKEY_LOCAL_MACHINE\\Shell\\Ext]\n@=\"name\"\n"), std::string::npos);
  // Nested batches write at the outermost end.
  beginRegistryBatch();
  beginRegistryBatch();
  key = create(HKEY_CURRENT_USER, u"Nested");
  RegCloseKey(key);
  EXPECT_EQ(endRegistryBatch(), ERROR_SUCCESS);
  EXPECT_EQ(hiveText("user.reg").find("Nested"), std::string::npos);
  EXPECT_EQ(endRegistryBatch(), ERROR_SUCCESS);
  EXPECT_NE(hiveText("user.reg").find("Nested"), std::string::npos);
}

// Another thread's change waits for the batch and is made on top of it.
TEST_F(Registry, AChangeDuringABatchWaitsForItsEndAndLosesNothing)
{
  beginRegistryBatch();
  HKEY key = create(HKEY_CURRENT_USER, u"K");
  setText(key, u"batch", u"1");
  std::atomic<bool> done{false};
  std::thread other([&] {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"K", 0, nullptr, 0, 0, nullptr, &k, nullptr), ERROR_SUCCESS);
    DWORD v = 7;
    EXPECT_EQ(RegSetValueExW(k, u"other", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), 4), ERROR_SUCCESS);
    RegCloseKey(k);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done); // a short look; the values below are the real test
  RegCloseKey(key);
  EXPECT_EQ(endRegistryBatch(), ERROR_SUCCESS);
  other.join();
  std::string text = hiveText("user.reg");
  EXPECT_NE(text.find("\"batch\"=\"1\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"other\"=dword:00000007"), std::string::npos) << text;
}

// A process killed in the middle of a batch leaves every hive as it was and
// its locks free.
TEST_F(Registry, AProcessKilledInABatchLeavesTheHivesAsTheyWere)
{
  HKEY key = create(HKEY_CLASSES_ROOT, u"Kept");
  setText(key, nullptr, u"old");
  RegCloseKey(key);
  std::string was = hiveText("classes.reg");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    beginRegistryBatch();
    HKEY k = nullptr;
    bool ok = RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Kept\\New", 0, nullptr, 0, 0, nullptr, &k, nullptr) ==
                  ERROR_SUCCESS &&
              RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Nothing") == ERROR_FILE_NOT_FOUND &&
              RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(u"new"), 8) == ERROR_SUCCESS;
    char c = ok ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    pause(); // killed here, before the end
    _exit(0);
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  EXPECT_EQ(c, 'y');
  kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(hiveText("classes.reg"), was);
  // The locks went with the process: a change goes through.
  key = create(HKEY_CLASSES_ROOT, u"After");
  RegCloseKey(key);
  EXPECT_NE(hiveText("classes.reg").find("After"), std::string::npos);
}

TEST_F(Registry, NamesTheFileCannotHoldAreRefused)
{
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Bad\nName", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  key = create(HKEY_CURRENT_USER, u"K");
  const WCHAR lone[] = {0xD800, 0};
  DWORD v = 1;
  EXPECT_EQ(RegSetValueExW(key, lone, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), 4), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

} // namespace
