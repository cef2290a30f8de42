#include "ConnectionWriter.h"

OVRASocketConnectionWrapper::ConnectionWriter::ConnectionWriter (OVRASocketConnectionWrapper& ownerToUse)
    : juce::Thread ("ZELX Remote Writer")
    , owner (ownerToUse)
{
}

OVRASocketConnectionWrapper::ConnectionWriter::~ConnectionWriter() { stopThread (4000); }

void OVRASocketConnectionWrapper::ConnectionWriter::run()
{
    while (! threadShouldExit())
    {
        const bool pending = owner.flushConnections();
        wait (pending ? retryIntervalMs : -1);
    }
}
