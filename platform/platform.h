// The only door to the outside world: console, files, clock, I/O ports and process exit.
// Core code calls nothing else. Backends: hosted Linux against the simulated controller
// (hosted/), hosted Linux against the real ports (hosted/ with linux/), and UEFI (real ports,
// shell console and files).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace platform {

// ---- Console -------------------------------------------------------------------------------

enum class Stream : uint8_t { Out, Err };

// Raw output. Text uses "\n" line ends; the backend converts where its console needs it.
// Writing to the error stream first flushes standard output, so that both streams keep the
// order in which they were printed when they share one file or terminal.
void Write(Stream stream, const char* data, size_t length);
void Flush(Stream stream);

// printf-style output through our own formatter (see format.h for the conversions).
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void PrintError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void PrintV(Stream stream, const char* format, va_list args);

// perror style: "<text>: <system error text of the last failed file operation>\n" on the
// error stream.
void PrintSystemError(const char* text);

// One character from the console input; kEndOfInput when the input has ended.
inline constexpr int kEndOfInput = -1;
int ReadChar();

// ---- Files ---------------------------------------------------------------------------------

enum class FileMode : uint8_t {
  ReadBinary,       // "rb"
  WriteBinary,      // "w+b": create or truncate, read and write
  WriteText,        // "wt": create or truncate, text
  ReadWriteBinary,  // "r+b": existing file, read and write (simulator storage)
  AppendBinary,     // "ab": create if missing, writes go to the end (simulator log)
};

enum class SeekOrigin : uint8_t { Begin, Current, End };

struct File;  // opaque; owned by the backend

// nullptr on failure; SystemErrorText() then tells why.
File* OpenFile(const char* name, FileMode mode);
// Bytes transferred; fewer than asked means end of file or an error.
size_t ReadFile(File* file, void* buffer, size_t length);
size_t WriteFile(File* file, const void* data, size_t length);
bool SeekFile(File* file, long offset, SeekOrigin origin);
long TellFile(File* file);  // -1 on failure
bool FlushFile(File* file);
bool CloseFile(File* file);  // false when buffered data could not be written
bool DeleteFile(const char* name);
bool RenameFile(const char* from, const char* to);  // replaces an existing target
// Creates a new, empty file for reading and writing ("w+b") in the directory of `name`, under
// the first name of FreshNameCandidate (fresh_name.h) that no file has yet: `name` + suffix
// when that is free. Never opens, replaces or deletes an existing file. The name it chose
// goes to `chosen` (capacity bytes). nullptr on failure.
File* CreateFreshFileBeside(const char* name, const char* suffix, char* chosen, size_t capacity);
// True when a file of this name can be created or can replace the one there: the name is not
// a directory and its last component fits the file system (kMaxNameComponent). Creates
// nothing. False sets SystemErrorText.
bool CanCreateFile(const char* name);
bool CreateDirectory(const char* name);  // true when it exists afterwards
const char* SystemErrorText();           // text of the last failed file operation

// Standard output and the error stream both write into this file until the program ends.
bool RedirectConsole(File* file);

// ---- Clock ---------------------------------------------------------------------------------

int64_t CalendarSeconds();
struct Date {
  int year;   // e.g. 2026
  int month;  // 1-12
  int day;    // 1-31
};
Date LocalDate();

// ---- I/O ports -----------------------------------------------------------------------------

uint8_t PortIn8(uint16_t port);
void PortOut8(uint16_t port, uint8_t value);

// Called by start-up once, before the first port access. Hosted: takes the lock that keeps our
// other programs off the controller until this process ends (a program that holds it is waited
// for a short, bounded time), then, for real ports, the permission to use them, and lets
// Ctrl-C end the run cleanly (see InterruptRequested). Failed: the backend has printed why,
// perror style. UEFI: the shell runs one program at a time and the ports are free: Ready.
enum class PortAccess : uint8_t { Ready, Locked, Failed };
PortAccess AcquirePorts();

// True once the user asked the program to stop (hosted: SIGINT or SIGTERM after AcquirePorts).
// The controller layer ends the run at the next point where the command interface is free and
// nothing is owed to the controller any more; Exit then also removes files that were still
// being written.
bool InterruptRequested();

// ---- Environment ---------------------------------------------------------------------------

// Value of an environment setting, or nullptr. Used only by the simulator glue and tests.
const char* EnvironmentValue(const char* name);

// ---- Process -------------------------------------------------------------------------------

// Flushes the console, lets the port backend finish (the simulator persists its state) and
// ends the process with the code.
[[noreturn]] void Exit(int code);

}  // namespace platform

// The program's entry, defined by each program in app/. The backend converts its arguments to
// narrow strings and calls it; it never returns.
[[noreturn]] void ProgramMain(int argc, char** argv);
