#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <memory>

/** The transport of the remote-control link: a TCP server whose connections
    carry framed messages (see OVRAWireFraming), one payload broadcast to all
    connections, and each received payload handed to handleMessageBlock.

    Threads: "Juce IPC server" accepts connections; each connection reads on
    its own "JUCE IPC" thread; one writer thread drains every connection's
    bounded backlog with non-blocking writes, so sendToAll never waits for a
    client, and deletes the connections that have closed. A client that
    falls more than maxBacklogFrames behind is disconnected and reported
    lost. At most maxConnections clients are served at once; one more is
    closed as soon as it is accepted, with a line on standard output. A
    client that has closed its end takes no place, even before its thread
    has seen the close.

    Derived classes must call stopServer() in their own destructor, so that no
    connection thread calls back into a half-destroyed object. Their
    callbacks must never block (on standard output, say: see
    DiagnosticPrinter), as stopping the server waits for the threads that run
    them.

        remote.startServer (OVRASocketConnectionWrapper::portFromText (portField.getText()));
        remote.sendToAll();     // every 100 ms on the message thread
        remote.stopServer();
*/
class OVRASocketConnectionWrapper
{
public:
    class WrappedInterprocessConnectionServer;
    class WrappedInterprocessConnection;
    class ConnectionWriter;

    static constexpr int defaultPort = 20000;

    /** Frames queued for one connection beyond what its socket has taken; at
        100 ms a bundle, five seconds of a client that has stopped reading. */
    static constexpr int maxBacklogFrames = 50;

    /** Clients served at once; each holds a thread and a descriptor. */
    static constexpr int maxConnections = 64;

    //==============================================================================
    OVRASocketConnectionWrapper();
    virtual ~OVRASocketConnectionWrapper();

    //==============================================================================
    /** Sends one payload from getPacketData to every connection, the most
        recently accepted first. Message thread; never blocks on a client. */
    virtual void sendToAll();

    /** The payload to broadcast. */
    virtual juce::MemoryBlock getPacketData() = 0;

    /** One received payload; runs on the receiving connection's thread. */
    virtual void handleMessageBlock (const juce::MemoryBlock& message, int connectionId) = 0;

    /** A connection was accepted (accept thread). */
    virtual void connectionOpened (int connectionId) = 0;

    /** A connection was lost (its own thread); not called when the server stops. */
    virtual void connectionClosed (int connectionId) = 0;

    //==============================================================================
    /** A port as the user typed it: the number to listen on, and the name
        that messages give it. */
    struct TypedPort
    {
        int number;
        juce::String name;
    };

    /** The port for the text of the port field: a whole number from 1 to
        65535, with blanks about it and an optional plus; an empty field gives
        defaultPort. Any other text gives -1, named as typed, on which
        startServer fails. */
    static TypedPort portFromText (const juce::String& text);

    /** Listens on the port (0 picks a free one) and address (empty: all
        interfaces). A running server is stopped first. Fails when the port
        is no valid port number or could not be bound, or a thread could not
        be started: nothing is listening then, and the error, "Port N cannot
        be used: " and the reason, has been printed on standard output. */
    juce::Result startServer (int portNumber, const juce::String& bindAddress = {});

    /** As above, for a typed port, which the error names as typed. */
    juce::Result startServer (const TypedPort& port, const juce::String& bindAddress = {});

    /** Closes the listener and every connection, and stops their threads. */
    void stopServer();

    /** The port listened on, or -1 when not listening: also once the
        listener has failed and the accept thread has ended. */
    int getBoundPort() const;

    /** Ids of the connections in the list, in order of acceptance. Lost ones
        leave it shortly after they close. */
    juce::Array<int> getConnectionIds() const;

    /** Accepts that failed since the object was made. */
    juce::uint64 getNumFailedAccepts() const noexcept;

private:
    //==============================================================================
    /** A connection for the accepted socket; nullptr, and the socket closed,
        when maxConnections are open already. Accept thread. */
    WrappedInterprocessConnection* addConnection (std::unique_ptr<juce::StreamingSocket> socket);
    void connectionFinished();
    bool flushConnections();

    juce::CriticalSection connectionLock;
    juce::OwnedArray<WrappedInterprocessConnection> connections;
    std::unique_ptr<WrappedInterprocessConnectionServer> server;
    std::unique_ptr<ConnectionWriter> writer;
    juce::Array<WrappedInterprocessConnection*> flushList; // writer thread only

    static std::atomic<int> nextConnectionId;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRASocketConnectionWrapper)
};
