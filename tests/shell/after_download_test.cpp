#include "desktop/shell/after_download.h"

#include "desktop/resources/string_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class RecordingActions : public CVQFinishActions {
public:
    bool goAhead = true;
    bool shutdownAccepted = true;
    std::string log;

    bool Countdown(int seconds, int textId) override {
        log += "countdown(" + std::to_string(seconds) + "," + VQFormat(textId, seconds) + ") ";
        return goAhead;
    }
    void MarkProjectSaveWithoutQuestion() override { log += "mark "; }
    void SaveOptions() override { log += "options "; }
    void SaveProject() override { log += "project "; }
    bool ShutDownComputer() override {
        log += "shutdown ";
        return shutdownAccepted;
    }
    void CloseProgram() override { log += "close "; }
};

CVQDownloadEnd End(const char* commandLine) {
    CVQDownloadEnd end;
    end.commandLine = CVQCommandLine::Parse(commandLine, "/p");
    return end;
}

TEST(AfterDownload, FirstMatchingCaseDecides) {
    struct Case {
        const char* commandLine;
        bool scheduled, scheduleShutdown, optionShutdown, stopped;
        VQFollowUp expected;
    } cases[] = {
        {"s.vqp -D -E", false, false, true, false, VQFollowUp::Finish},
        {"s.vqp -D -E -SHUT", false, false, false, false, VQFollowUp::FinishWithShutdown},
        {"s.vqp -D -SHUT", false, false, false, false, VQFollowUp::FinishWithShutdown},
        {"s.vqp -D", false, false, true, false, VQFollowUp::None},
        {"-D -E", false, false, false, false, VQFollowUp::None},
        {"", true, true, false, false, VQFollowUp::FinishWithShutdown},
        {"", true, false, true, false, VQFollowUp::None},
        {"", false, false, true, false, VQFollowUp::FinishWithShutdown},
        {"s.vqp -D -E -SHUT", false, false, true, true, VQFollowUp::None},
    };
    for (const Case& c : cases) {
        CVQDownloadEnd end = End(c.commandLine);
        end.scheduled.inProgress = c.scheduled;
        end.scheduled.autoShutdown = c.scheduleShutdown;
        end.optionAutoShutdown = c.optionShutdown;
        end.stopped = c.stopped;
        EXPECT_EQ(ChooseFollowUp(end), c.expected) << c.commandLine;
    }
}

TEST(AfterDownload, DisconnectOnlyForTheProgramsOwnDialUp) {
    CVQDownloadEnd end = End("s.vqp -D -DISC");
    end.connType = 1;
    end.dialledByProgram = true;
    EXPECT_TRUE(ShouldDisconnect(end));
    end.dialledByProgram = false;
    EXPECT_FALSE(ShouldDisconnect(end));
    end = End("s.vqp -D");
    end.connType = 1;
    end.dialledByProgram = true;
    end.optionAutoDisconnect = true;
    EXPECT_FALSE(ShouldDisconnect(end)) << "the command line decides for its project";
    end = End("");
    end.connType = 1;
    end.dialledByProgram = true;
    end.optionAutoDisconnect = true;
    EXPECT_TRUE(ShouldDisconnect(end));
    end.stopped = true;
    EXPECT_FALSE(ShouldDisconnect(end));
}

TEST(AfterDownload, FinishingProcedure) {
    RecordingActions exitOnly;
    FinishProgram(false, exitOnly);
    EXPECT_EQ(exitOnly.log, "mark close ");

    RecordingActions shutdown;
    FinishProgram(true, shutdown);
    EXPECT_EQ(shutdown.log,
              "mark countdown(10,Shuting system down in 10 seconds) options project shutdown ");

    RecordingActions cancelled;
    cancelled.goAhead = false;
    FinishProgram(true, cancelled);
    EXPECT_EQ(cancelled.log, "mark countdown(10,Shuting system down in 10 seconds) ");

    RecordingActions refused;
    refused.shutdownAccepted = false;
    FinishProgram(true, refused);
    EXPECT_EQ(refused.log,
              "mark countdown(10,Shuting system down in 10 seconds) options project shutdown close ");
}

} // namespace
