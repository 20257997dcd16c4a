// A test fixture with a fresh temporary folder of its own, removed with
// everything in it after the test.
#pragma once

#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

class TemporaryFolderTest : public ::testing::Test {
protected:
    explicit TemporaryFolderTest(const char* prefix) : dir(nsplatform::CreateTemporaryFolder(prefix)) {}
    void SetUp() override { ASSERT_FALSE(dir.empty()); }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string Path(const std::string& name) const { return dir + nsplatform::PathSeparator() + name; }

    const std::string dir;
};
