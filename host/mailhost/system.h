// The few operating-system calls mailhost makes, in one place: loading the plug-in, asking
// whether a stream is a terminal, creating directories, local time and releasing a GetMsg
// record. Everything else in the tool is portable C++.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace hostos {

// The plug-in's file name on this system.
const char* PluginFileName();
// The directory that holds the running mailhost executable ("." when it cannot be told).
std::string ExecutableDirectory();

// A loaded shared library; null with a reason when it cannot be loaded.
void* LoadLibrary(const std::string& path, std::string& error);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);

// The single record GetMsg hands out is one heap block of the module's record allocator.
void ReleaseRecordBlock(void* block);

bool IsTerminal(std::FILE* stream);
// Width of the terminal behind the stream; 80 when unknown.
int TerminalColumns(std::FILE* stream);

// Creates the directory and its parents; false with a reason when it cannot.
bool MakeDirectories(const std::string& path, std::string& error);

std::tm LocalTime(std::time_t t);
std::tm UtcTime(std::time_t t);
// Offset of local time from UTC at t, in seconds east.
long LocalOffsetSeconds(std::time_t t);

}  // namespace hostos
