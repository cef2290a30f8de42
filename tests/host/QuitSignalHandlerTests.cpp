#include "HostTestHelpers.h"

#include "QuitSignalHandler.h"

#include <gtest/gtest.h>

#include <csignal>

namespace
{
void (*currentHandler (int signalNumber)) (int)
{
    struct sigaction action = {};
    sigaction (signalNumber, nullptr, &action);
    return action.sa_handler;
}

void placeholderHandler (int) {}
} // namespace

TEST (QuitSignalHandler, TermIntAndHupReachTheMessageThreadAndTheOldHandlersComeBack)
{
    struct sigaction placeholder = {};
    placeholder.sa_handler = placeholderHandler;
    sigemptyset (&placeholder.sa_mask);
    struct sigaction oldTerm = {}, oldInt = {}, oldHup = {};
    sigaction (SIGTERM, &placeholder, &oldTerm);
    sigaction (SIGINT, &placeholder, &oldInt);
    sigaction (SIGHUP, &placeholder, &oldHup);

    {
        int requests = 0;
        bool onMessageThread = true;
        QuitSignalHandler handler ([&] {
            ++requests;
            onMessageThread =
                onMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
        });

        EXPECT_NE (currentHandler (SIGTERM), &placeholderHandler);
        EXPECT_EQ (requests, 0);

        ASSERT_EQ (raise (SIGTERM), 0);
        EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] { return requests == 1; }));

        ASSERT_EQ (raise (SIGINT), 0);
        EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] { return requests == 2; }));

        // The terminal closed.
        ASSERT_EQ (raise (SIGHUP), 0);
        EXPECT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] { return requests == 3; }));
        EXPECT_TRUE (onMessageThread);
    }

    EXPECT_EQ (currentHandler (SIGTERM), &placeholderHandler);
    EXPECT_EQ (currentHandler (SIGINT), &placeholderHandler);
    EXPECT_EQ (currentHandler (SIGHUP), &placeholderHandler);

    // Started with nohup.
    signal (SIGHUP, SIG_IGN);
    {
        QuitSignalHandler handler ([] {});
        EXPECT_EQ (currentHandler (SIGHUP), SIG_IGN);
    }

    sigaction (SIGTERM, &oldTerm, nullptr);
    sigaction (SIGINT, &oldInt, nullptr);
    sigaction (SIGHUP, &oldHup, nullptr);
}
