// Result codes of SmtpClient::Connect and SendMail; the numbers are part of the contract with
// the session, which turns any non-zero send result into its own send failure.
#pragma once

enum class SmtpResult : int {
    Ok = 0,                 // both; Connect also when already connected
    NoSettings = 1,         // Connect: no settings given
    TransactionFailed = 2,  // SendMail: sender refused, DATA or text not sent, text not accepted
    SocketNotCreated = 3,   // Connect: the socket object cannot be created
    StartupFailed = 4,      // Connect: socket start-up failed
    ConnectFailed = 5,      // Connect: connecting failed
    HelloFailed = 6,        // Connect: hello or authentication failed
    NoSender = 7,           // SendMail: the message has no sender
    NoRecipients = 8,       // SendMail: no recipients, or none accepted
    NotConnected = 9,       // SendMail: not connected
};
