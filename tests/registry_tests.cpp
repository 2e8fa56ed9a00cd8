// The registry layer against the real (Wine) registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "registry.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

class RegistryLayer : public testing::Test {
 protected:
  void SetUp() override { RawDeleteTree(HKEY_CURRENT_USER, kScratch); }
  void TearDown() override { RawDeleteTree(HKEY_CURRENT_USER, kScratch); }

  // Reads through the layer into a buffer with guard bytes after capacity.
  std::pair<int, std::string> Read(const char* name, int capacity) {
    std::string buffer(capacity + 16, '#');
    int result = ReadStringValue(HKEY_CURRENT_USER, kScratch, name, &buffer[0], capacity);
    EXPECT_EQ(std::string(16, '#'), buffer.substr(capacity)) << "wrote past the capacity";
    return {result, std::string(buffer.c_str())};
  }
};

TEST_F(RegistryLayer, CapacityIsCountedWithTheTerminator) {
  RawSetText(HKEY_CURRENT_USER, kScratch, "v", "abcde");
  EXPECT_EQ(std::make_pair(5, std::string("abcde")), Read("v", 6));
  Diagnostics diagnostics;
  EXPECT_EQ(std::make_pair(0, std::string()), Read("v", 5));
  EXPECT_TRUE(diagnostics.Saw("Registry Error #1024: Buffer overflow contained"));
}

TEST_F(RegistryLayer, ValuesAroundTheByteLimit) {
  // 1022 and 1023 characters fit 1024 bytes with their terminator; 1024 do not.
  RawSetText(HKEY_CURRENT_USER, kScratch, "v1023", std::string(1022, 'a'));
  RawSetText(HKEY_CURRENT_USER, kScratch, "v1024", std::string(1023, 'b'));
  RawSetText(HKEY_CURRENT_USER, kScratch, "v1025", std::string(1024, 'c'));
  EXPECT_EQ(1022, Read("v1023", 2048).first);
  EXPECT_EQ(std::make_pair(1023, std::string(1023, 'b')), Read("v1024", 2048));
  EXPECT_EQ(std::make_pair(0, std::string()), Read("v1025", 2048));
  EXPECT_EQ("", ReadString(HKEY_CURRENT_USER, kScratch, "v1025"));
}

TEST_F(RegistryLayer, TextWithoutTerminatorIsNeverOverrun) {
  // Stored without its terminator: the layer must end the text itself.
  RawSet(HKEY_CURRENT_USER, kScratch, "short", REG_SZ, "xyz", 3);
  EXPECT_EQ(std::make_pair(3, std::string("xyz")), Read("short", 64));
  // 1024 bytes of text and no terminator: longer than the limit allows.
  std::string full(1024, 'q');
  RawSet(HKEY_CURRENT_USER, kScratch, "full", REG_SZ, full.data(), 1024);
  EXPECT_EQ(std::make_pair(0, std::string()), Read("full", 2048));
}

TEST_F(RegistryLayer, MissingEmptyAndNonTextValuesReadAsMissing) {
  RawSetText(HKEY_CURRENT_USER, kScratch, "empty", "");
  DWORD number = 42;
  RawSet(HKEY_CURRENT_USER, kScratch, "dword", REG_DWORD, &number, sizeof number);
  RawSet(HKEY_CURRENT_USER, kScratch, "binary", REG_BINARY, "text", 4);
  for (const char* name : {"missing", "empty", "dword", "binary"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(std::make_pair(0, std::string()), Read(name, 64));
  }
  char dest[8] = "junk";
  EXPECT_EQ(0, ReadStringValue(HKEY_CURRENT_USER, "Software\\SentrelTests\\NoSuchKey", "v", dest, sizeof dest));
  EXPECT_STREQ("", dest);
}

TEST_F(RegistryLayer, ExpandableTextIsExpanded) {
  std::string text = "%SystemRoot%\\system32";
  RawSet(HKEY_CURRENT_USER, kScratch, "exp", REG_EXPAND_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  EXPECT_EQ(std::string(windows) + "\\system32", Read("exp", 260).second);
}

TEST_F(RegistryLayer, OverlongExpansionKeepsTheUnexpandedText) {
  SetEnvironmentVariableA("SENTREL_TEST_LONG", std::string(900, 'z').c_str());
  std::string text = "%SENTREL_TEST_LONG%%SENTREL_TEST_LONG%";
  RawSet(HKEY_CURRENT_USER, kScratch, "exp", REG_EXPAND_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  Diagnostics diagnostics;
  EXPECT_EQ(std::make_pair(static_cast<int>(text.size()), text), Read("exp", 260));
  EXPECT_TRUE(diagnostics.Saw("Registry Error #1023: String can not be expanded"));
  SetEnvironmentVariableA("SENTREL_TEST_LONG", nullptr);
}

TEST_F(RegistryLayer, MultiStringGivesItsFirstString) {
  RawSet(HKEY_CURRENT_USER, kScratch, "multi", REG_MULTI_SZ, "one\0two\0", 9);
  EXPECT_EQ("one", Read("multi", 64).second);
}

TEST_F(RegistryLayer, WritesCreateTheKeyAndStoreTheTerminator) {
  std::string path = std::string(kScratch) + "\\A\\B";
  EXPECT_EQ(1, WriteStringValue(HKEY_CURRENT_USER, path.c_str(), "name", "value"));
  RawValue raw = RawGet(HKEY_CURRENT_USER, path.c_str(), "name");
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
  ASSERT_EQ(6u, raw.data.size());
  EXPECT_EQ(0, raw.data[5]);
  EXPECT_EQ(1, WriteStringValue(HKEY_CURRENT_USER, path.c_str(), "", "default"));
  EXPECT_EQ("default", ReadString(HKEY_CURRENT_USER, path.c_str(), ""));
}

TEST_F(RegistryLayer, DwordReadsCheckTypeAndSize) {
  EXPECT_EQ(0u, ReadDwordValue(HKEY_CURRENT_USER, kScratch, "d"));
  EXPECT_EQ(-1, ReadDwordValueOr(HKEY_CURRENT_USER, kScratch, "d"));
  EXPECT_EQ(1, WriteDwordValue(HKEY_CURRENT_USER, kScratch, "d", 7));
  EXPECT_EQ(7u, ReadDwordValue(HKEY_CURRENT_USER, kScratch, "d"));
  EXPECT_EQ(7, ReadDwordValueOr(HKEY_CURRENT_USER, kScratch, "d"));
  EXPECT_TRUE(DwordValueExists(HKEY_CURRENT_USER, kScratch, "d"));
  RawSetText(HKEY_CURRENT_USER, kScratch, "text", "7");
  RawSet(HKEY_CURRENT_USER, kScratch, "short", REG_BINARY, "\x07\x00", 2);
  for (const char* name : {"text", "short"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(0u, ReadDwordValue(HKEY_CURRENT_USER, kScratch, name));
    EXPECT_EQ(-1, ReadDwordValueOr(HKEY_CURRENT_USER, kScratch, name));
    EXPECT_FALSE(DwordValueExists(HKEY_CURRENT_USER, kScratch, name));
  }
}

TEST_F(RegistryLayer, DeleteValueReportsOnlyFailedDeletes) {
  Diagnostics diagnostics;
  EXPECT_EQ(0, DeleteValue(HKEY_CURRENT_USER, kScratch, "v"));  // no key: silent
  EXPECT_TRUE(diagnostics.Seen().empty());
  RawSetText(HKEY_CURRENT_USER, kScratch, "v", "x");
  EXPECT_EQ(1, DeleteValue(HKEY_CURRENT_USER, kScratch, "v"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kScratch, "v"));
  EXPECT_EQ(0, DeleteValue(HKEY_CURRENT_USER, kScratch, "v"));
  ASSERT_EQ(1u, diagnostics.Seen().size());
  EXPECT_EQ("ERROR RegDeleteValue", diagnostics.Seen()[0].first);
  EXPECT_EQ("v", diagnostics.Seen()[0].second);
}

TEST_F(RegistryLayer, DeleteKeyTreeRemovesEveryLevel) {
  EXPECT_EQ(1, DeleteKeyTree(HKEY_CURRENT_USER, "Software\\SentrelTests\\Never"));
  std::string base = std::string(kScratch) + "\\Tree";
  RawSetText(HKEY_CURRENT_USER, (base + "\\One\\Two").c_str(), "v", "x");
  RawSetText(HKEY_CURRENT_USER, (base + "\\One\\Two2").c_str(), "v", "x");
  RawSetText(HKEY_CURRENT_USER, (base + "\\Other").c_str(), "v", "x");
  RawSetText(HKEY_CURRENT_USER, base.c_str(), "v", "x");
  EXPECT_EQ(1, DeleteKeyTree(HKEY_CURRENT_USER, base.c_str()));
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, base.c_str()));
  EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, kScratch));
  // A trailing backslash names the same key.
  RawSetText(HKEY_CURRENT_USER, (base + "\\One").c_str(), "v", "x");
  EXPECT_EQ(1, DeleteKeyTree(HKEY_CURRENT_USER, (base + "\\").c_str()));
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, base.c_str()));
}

TEST_F(RegistryLayer, DeleteKeyTreeRefusesPathsBeyondItsWorkingWidth) {
  std::string tooLong = std::string(kScratch) + "\\" + std::string(kMaxKeyPath, 'k');
  EXPECT_EQ(0, DeleteKeyTree(HKEY_CURRENT_USER, tooLong.c_str()));
  EXPECT_EQ(0, DeleteKeyTree(HKEY_CURRENT_USER, nullptr));

  // Trees whose sub-key paths outgrow the width cannot be built here: Wine's
  // registry refuses or stops answering for key paths that long.
}

TEST_F(RegistryLayer, CreateSettingsKeyReportsFailure) {
  Diagnostics diagnostics;
  EXPECT_EQ(1, CreateSettingsKey(HKEY_CURRENT_USER, (std::string(kScratch) + "\\New").c_str()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, (std::string(kScratch) + "\\New").c_str()));
  // A key name longer than the registry allows cannot be created.
  std::string bad = std::string(kScratch) + "\\" + std::string(300, 'n');
  EXPECT_EQ(0, CreateSettingsKey(HKEY_CURRENT_USER, bad.c_str()));
  EXPECT_TRUE(diagnostics.Saw("ERROR RegCreateKey"));
  EXPECT_EQ(0, WriteStringValue(HKEY_CURRENT_USER, bad.c_str(), "v", "x"));
}

}  // namespace
