#pragma once

#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

/** Runs jobs off the message thread and hands the result of the newest one
    back on the message thread; the result of an older job is never handed
    over, however late it comes.

    Each job runs on a thread of its own that is let go. A job held up in a
    system call (a folder or file on a network share that stops answering)
    then holds up nothing else: a newer job starts at once, and the
    destructor does not wait for it. The held-up thread ends by itself once
    the call returns, so a job may use only what it owns or shares (its
    function's captures, copied or shared), never its caller's members.

    Message thread, except the jobs and the isWanted they are given.

        NewestJobRunner<Listing> scans ("scanner", [this] (Listing&& l) { show (l); });
        scans.start ([folder] (const std::function<bool()>& isWanted) { return scan (folder, isWanted); });
*/
template <typename Result>
class NewestJobRunner : private juce::AsyncUpdater
{
public:
    /** A job; it may stop early, with any result, once isWanted says false. */
    using Job = std::function<Result (const std::function<bool()>& isWanted)>;

    NewestJobRunner (const juce::String& threadNameToUse, std::function<void (Result&&)> onResultToUse)
        : threadName (threadNameToUse)
        , onResult (std::move (onResultToUse))
    {
        shared->owner = this;
    }

    /** Returns at once; jobs still running hand over nothing. */
    ~NewestJobRunner() override
    {
        {
            const std::lock_guard<std::mutex> sl (shared->lock);
            shared->owner = nullptr;
        }

        shared->newest = 0;
        cancelPendingUpdate();
    }

    //==============================================================================
    /** Starts a job; from now on only its result is handed over. */
    void start (Job job)
    {
        const int number = ++started;
        shared->newest = number;
        busy = true;

        try
        {
            std::thread ([shared = shared, number, job = std::move (job), name = threadName] {
                juce::Thread::setCurrentThreadName (name);
                auto result = job ([&shared, number] { return shared->newest.load() == number; });

                // Under the lock, so that the owner cannot go meanwhile.
                const std::lock_guard<std::mutex> sl (shared->lock);

                if (shared->owner != nullptr)
                {
                    shared->results.emplace_back (number, std::move (result));
                    shared->owner->triggerAsyncUpdate();
                }
            }).detach();
        }
        catch (const std::system_error&)
        {
            // No thread to be had: nothing comes of this job.
            busy = false;
        }
    }

    /** The newest job has not handed over its result yet. */
    bool isBusy() const noexcept { return busy; }

private:
    //==============================================================================
    struct Shared
    {
        std::mutex lock;
        NewestJobRunner* owner = nullptr;
        std::vector<std::pair<int, Result>> results;
        std::atomic<int> newest { 0 };
    };

    void handleAsyncUpdate() override
    {
        std::vector<std::pair<int, Result>> taken;

        {
            const std::lock_guard<std::mutex> sl (shared->lock);
            std::swap (taken, shared->results);
        }

        // onResult may start a newer job, which then wins over the rest.
        for (auto& [number, result] : taken)
        {
            if (number != started)
                continue;

            busy = false;
            onResult (std::move (result));
        }
    }

    //==============================================================================
    const juce::String threadName;
    const std::function<void (Result&&)> onResult;
    const std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    int started = 0;
    bool busy = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NewestJobRunner)
};
