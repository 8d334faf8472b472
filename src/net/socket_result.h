// Result codes of the transport; the numbers are part of the contract with its owners.
#pragma once

enum class SocketResult : int {
    Ok = 0,
    BadServer = 1,          // "The supplied server '%s' is invalid"
    SocketFailed = 2,       // "Creation of the socket failed."
    StartupFailed = 3,      // "Failed to initialize Winsock."
    NotInitialized = 4,     // "The socket has not been intitialized"
    ConnectFailed = 5,      // "There is no connection for the socket"
    NotConnected = 6,       // "There is no connection for the socket"
    BadParameter = 7,       // "A bad parameter was passed to the function"
    UnknownError = 8,       // "An unknown winsock error occured."
    ConnectionReset = 9,    // "The connection was terminated on a reset"
    ConnectionAborted = 10, // "The connection was aborted"
    TimedOut = 11,          // "The connection timed out"
    NoData = 12,            // "No data on the socket"
};
