#pragma once

#include "DiagnosticPrinter.h"
#include "LoopbackClient.h"

#include <gtest/gtest.h>

#include <string>

/** Standard output captured for a test, with the diagnostics printer's
    queue caught up at both ends. */
namespace PrintedOutput
{
/** Starts capturing once everything printed before has gone out. */
inline void startCapture()
{
    EXPECT_TRUE (DiagnosticPrinter::waitUntilWritten (LoopbackClient::waitLimitMs));
    ::testing::internal::CaptureStdout();
}

/** Everything printed since startCapture, including what was still queued. */
inline std::string captured()
{
    EXPECT_TRUE (DiagnosticPrinter::waitUntilWritten (LoopbackClient::waitLimitMs));
    return ::testing::internal::GetCapturedStdout();
}
} // namespace PrintedOutput
