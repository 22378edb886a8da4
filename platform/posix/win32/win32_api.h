// The Windows functions that the Linux stand-in provides, with the platform's
// own names and contracts. They live in the stand-in's shared library, so one
// allocator, one console and one set of thread-local slots serve every module.
#pragma once

#include "win32_types.h"

#define STANDIN_API extern "C" __attribute__((visibility("default")))
// The symbol that a Windows name binds to. Callers of the library use the
// string allocator's three functions, so those keep their own names; every
// other function is named in the source as on Windows but bound under the
// stand-in's own name, so that a host process's function called GlobalAlloc
// or TlsAlloc neither replaces ours nor is called by us. The stand-in's
// definitions take the name from these declarations.
#define STANDIN_NAME(name) __asm__("Standin_" #name)

// oleaut32: the process-wide string allocator.
STANDIN_API BSTR SysAllocStringByteLen(LPCSTR source, UINT length);
STANDIN_API UINT SysStringByteLen(BSTR string);
STANDIN_API void SysFreeString(BSTR string);

// ole32
STANDIN_API HRESULT OleInitialize(LPVOID reserved) STANDIN_NAME(OleInitialize);
STANDIN_API void OleUninitialize(void) STANDIN_NAME(OleUninitialize);

// kernel32: errors, handles, process services.
STANDIN_API DWORD GetLastError(void) STANDIN_NAME(GetLastError);
STANDIN_API void SetLastError(DWORD error) STANDIN_NAME(SetLastError);
STANDIN_API HANDLE GetStdHandle(DWORD which) STANDIN_NAME(GetStdHandle);
STANDIN_API BOOL SetStdHandle(DWORD which, HANDLE handle) STANDIN_NAME(SetStdHandle);
STANDIN_API HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile) STANDIN_NAME(CreateFileA);
STANDIN_API BOOL CloseHandle(HANDLE handle) STANDIN_NAME(CloseHandle);
STANDIN_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read, LPOVERLAPPED overlapped) STANDIN_NAME(ReadFile);
STANDIN_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) STANDIN_NAME(WriteFile);
STANDIN_API void GetStartupInfoA(LPSTARTUPINFOA info) STANDIN_NAME(GetStartupInfoA);
STANDIN_API LPSTR GetCommandLineA(void) STANDIN_NAME(GetCommandLineA);
STANDIN_API DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) STANDIN_NAME(GetEnvironmentVariableA);
STANDIN_API BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) STANDIN_NAME(SetEnvironmentVariableA);
STANDIN_API HMODULE GetModuleHandleA(LPCSTR name) STANDIN_NAME(GetModuleHandleA);
STANDIN_API __attribute__((noreturn)) void ExitProcess(UINT exitCode) STANDIN_NAME(ExitProcess);
STANDIN_API void Sleep(DWORD milliseconds) STANDIN_NAME(Sleep);
STANDIN_API HMODULE LoadLibraryA(LPCSTR name) STANDIN_NAME(LoadLibraryA);
STANDIN_API FARPROC GetProcAddress(HMODULE module, LPCSTR name) STANDIN_NAME(GetProcAddress);
STANDIN_API BOOL FreeLibrary(HMODULE module) STANDIN_NAME(FreeLibrary);

// kernel32: thread-local storage and global memory.
STANDIN_API DWORD TlsAlloc(void) STANDIN_NAME(TlsAlloc);
STANDIN_API LPVOID TlsGetValue(DWORD index) STANDIN_NAME(TlsGetValue);
STANDIN_API BOOL TlsSetValue(DWORD index, LPVOID value) STANDIN_NAME(TlsSetValue);
STANDIN_API BOOL TlsFree(DWORD index) STANDIN_NAME(TlsFree);
STANDIN_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) STANDIN_NAME(GlobalAlloc);
STANDIN_API HGLOBAL GlobalFree(HGLOBAL memory) STANDIN_NAME(GlobalFree);

// user32
STANDIN_API BOOL MessageBeep(UINT type) STANDIN_NAME(MessageBeep);

// kernel32: console screen buffers.
STANDIN_API BOOL GetConsoleMode(HANDLE console, LPDWORD mode) STANDIN_NAME(GetConsoleMode);
STANDIN_API BOOL SetConsoleMode(HANDLE console, DWORD mode) STANDIN_NAME(SetConsoleMode);
STANDIN_API BOOL GetConsoleCursorInfo(HANDLE output, PCONSOLE_CURSOR_INFO info) STANDIN_NAME(GetConsoleCursorInfo);
STANDIN_API BOOL SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO *info) STANDIN_NAME(SetConsoleCursorInfo);
STANDIN_API BOOL GetConsoleScreenBufferInfo(HANDLE output, PCONSOLE_SCREEN_BUFFER_INFO info) STANDIN_NAME(GetConsoleScreenBufferInfo);
STANDIN_API BOOL SetConsoleCursorPosition(HANDLE output, COORD position) STANDIN_NAME(SetConsoleCursorPosition);
STANDIN_API BOOL SetConsoleScreenBufferSize(HANDLE output, COORD size) STANDIN_NAME(SetConsoleScreenBufferSize);
STANDIN_API BOOL SetConsoleWindowInfo(HANDLE output, BOOL absolute, const SMALL_RECT *window) STANDIN_NAME(SetConsoleWindowInfo);
STANDIN_API HANDLE CreateConsoleScreenBuffer(DWORD access, DWORD share, const SECURITY_ATTRIBUTES *security,
                                             DWORD flags, LPVOID reserved) STANDIN_NAME(CreateConsoleScreenBuffer);
STANDIN_API BOOL SetConsoleActiveScreenBuffer(HANDLE output) STANDIN_NAME(SetConsoleActiveScreenBuffer);
STANDIN_API BOOL FillConsoleOutputCharacterA(HANDLE output, CHAR character, DWORD length, COORD start,
                                             LPDWORD written) STANDIN_NAME(FillConsoleOutputCharacterA);
STANDIN_API BOOL FillConsoleOutputAttribute(HANDLE output, WORD attribute, DWORD length, COORD start,
                                            LPDWORD written) STANDIN_NAME(FillConsoleOutputAttribute);
STANDIN_API BOOL WriteConsoleOutputA(HANDLE output, const CHAR_INFO *cells, COORD cellsSize, COORD cellsOrigin,
                                     PSMALL_RECT region) STANDIN_NAME(WriteConsoleOutputA);
STANDIN_API BOOL ReadConsoleOutputA(HANDLE output, PCHAR_INFO cells, COORD cellsSize, COORD cellsOrigin,
                                    PSMALL_RECT region) STANDIN_NAME(ReadConsoleOutputA);
STANDIN_API BOOL ScrollConsoleScreenBufferA(HANDLE output, const SMALL_RECT *scroll, const SMALL_RECT *clip,
                                            COORD destination, const CHAR_INFO *fill) STANDIN_NAME(ScrollConsoleScreenBufferA);

// kernel32: console input.
STANDIN_API BOOL PeekConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) STANDIN_NAME(PeekConsoleInputA);
STANDIN_API BOOL ReadConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) STANDIN_NAME(ReadConsoleInputA);
STANDIN_API BOOL WriteConsoleInputA(HANDLE input, const INPUT_RECORD *records, DWORD length, LPDWORD written) STANDIN_NAME(WriteConsoleInputA);
STANDIN_API BOOL FlushConsoleInputBuffer(HANDLE input) STANDIN_NAME(FlushConsoleInputBuffer);
STANDIN_API BOOL GetNumberOfConsoleInputEvents(HANDLE input, LPDWORD count) STANDIN_NAME(GetNumberOfConsoleInputEvents);
