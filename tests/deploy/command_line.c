/*
 * Starts a Windows program with exactly the command line that the variable
 * COMMAND_LINE holds, quotes and all, as a deployment tool or PowerShell
 * writes it (Wine would quote each argument of its own), waits for it, and
 * exits with its exit status; 125 where it cannot be started.
 */
#include <stdio.h>
#include <windows.h>

enum { MAX_COMMAND_LINE = 32768, CANNOT_START = 125 };

int main(void)
{
    static wchar_t line[MAX_COMMAND_LINE];
    const DWORD length = GetEnvironmentVariableW(L"COMMAND_LINE", line, MAX_COMMAND_LINE);
    if (length == 0 || length >= MAX_COMMAND_LINE) {
        fputs("command_line: COMMAND_LINE holds no command line\n", stderr);
        return CANNOT_START;
    }
    STARTUPINFOW startup = {0};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "command_line: cannot start it (error %lu)\n", GetLastError());
        return CANNOT_START;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = CANNOT_START;
    GetExitCodeProcess(process.hProcess, &status);
    return (int)status;
}
