#pragma once

// The scan driver's test fixture: a fake front end whose file list is a
// temporary folder, and settings with an own domain that the lines can name.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace backtrail::testing {

/// A combined-format log line from a visitor sent by `referrer` to `path`.
inline std::string combinedLine(const std::string& path, const std::string& referrer)
{
    return "10.0.0.1 - - [17/May/2015:10:05:03 +0000] \"GET " + path + " HTTP/1.1\" 200 100 \"" + referrer
        + "\" \"Mozilla/5.0 (X11; Linux x86_64)\"\n";
}

/// Scans of files written into a temporary folder, through a FakeFrontEnd.
class Driver : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frontEnd.folder = dir.path();
        settings.strYourWebsite = QStringLiteral("mysite.example");
        settings.bDisplayStats = true;
    }
    void addFile(const QString& name, const std::string& bytes, bool selected = true)
    {
        WriteBytes(dir.filePath(name), bytes);
        frontEnd.files.push_back({name, selected});
    }

    QTemporaryDir dir;
    FakeFrontEnd frontEnd;
    engine::ScanSettings settings;
};

} // namespace backtrail::testing
