#pragma once
// A temporary folder per test with the run log "log" registered in it, as the main window registers it,
// and the log's lines read back without their timestamp and type.

#include "log/core/SimpleLog.h"
#include "platform/core/TestFsSupport.h"

#include <string>
#include <vector>

namespace pardova::testing {

class CoreTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        FLogFile = At("log.txt");
        SimpleLog().RegisterLog("log", FLogFile, 2000, 5, {lpTimestamp, lpType}, " | ");
        SimpleLog().SetLockType(ltProcess);
    }

    void TearDown() override {
        FreeSimpleLog();
        TempFolderTest::TearDown();
    }

    // Each line's text after "<timestamp> | Info | "; a line of another shape is returned whole so that a
    // comparison shows it.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        const std::string text = ReadFile(FLogFile);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                end = text.size();
            }
            std::string line = text.substr(start, end - start);
            const std::string marker = " | Info | ";
            const size_t at = line.find(marker);
            lines.push_back(at == std::string::npos ? line : line.substr(at + marker.size()));
            start = end + 2;
        }
        return lines;
    }

    // Forgets the lines written so far.
    void ClearLog() const { stdfs::remove(P(FLogFile)); }

private:
    std::string FLogFile;
};

} // namespace pardova::testing
