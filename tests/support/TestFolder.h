#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// A folder for the running test under `root`, named after the test; both
// created. Windows only.
inline std::string TestFolder(const std::string& root)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string folder = root + "\\" + info->name();
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}
