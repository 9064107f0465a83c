/*
 * board-check: says whether a board-control DLL fits a power monitor program,
 * and if not, why and what to install or build instead. The installers run it
 * before they write anything, the build runs it on BOARDCONTROL_RUNTIME, and
 * it ships beside the program for whoever copies a DLL by hand.
 *
 * It reads the DLL as a file, never loads it: the architecture (PE machine),
 * the export of each function of the interface under a name the program
 * looks for (boardcontrol_names.h), the DLLs beside it that its imports
 * and forwarded exports lead to, as Windows follows them, and theirs in turn,
 * and the version resource, which names our simulated
 * board. The calling convention does not matter: the program calls __cdecl
 * and __stdcall functions alike.
 *
 *   board-check [--arch x86|x64] [--companions] [--help] [DLL]
 *
 * --companions prints only the names of the DLLs beside it that it needs, one
 * a line, for the installer, which installs them with it.
 *
 * The defaults are this program's own: its architecture, and on Windows the
 * Orvane_boardcontrol_api.dll beside it.
 *
 * Exit status: 0 fits, 4 fits and is our simulated board, 1 does not fit,
 * 2 cannot be read or a usage error.
 */
#include "dll_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#  include <windows.h>
#endif

enum { MAX_DLL_BYTES = 256 * 1024 * 1024, MAX_LONG_PATH = 32767 };

static int usage(const char *message)
{
    fprintf(stderr,
        "board-check: %s\n"
        "usage: board-check [--arch x86|x64] [--companions] [%s]\n"
        "board-check --help says more.\n",
        message, board_dll_name);
    return BOARD_UNREADABLE;
}

/* The operator's guide shows this text as it is: keep it the same on every platform. */
static int help(void)
{
    printf("usage: board-check [--arch x86|x64] [--companions] [DLL]\n"
           "\n"
           "Says whether DLL, a board-control library, fits the power monitor program\n"
           "beside board-check, and if not, why and what to install instead. It reads\n"
           "the file and never loads it. Without DLL it checks\n"
           "the %s beside it.\n"
           "\n"
           "  --arch x86|x64  check for the 32-bit or the 64-bit program (by default the\n"
           "                  program beside board-check; needed where board-check is not\n"
           "                  a Windows program)\n"
           "  --companions    print only the DLLs beside it that it needs, one a line\n"
           "  --help          print this text\n"
           "\n"
           "Exit status: %d fits, %d fits and is the simulated board, %d does not fit,\n"
           "%d cannot be read or a usage error.\n",
        board_dll_name, BOARD_FITS, BOARD_FITS_SIMULATED, BOARD_DOES_NOT_FIT, BOARD_UNREADABLE);
    return BOARD_FITS;
}

static int parse_options(int argc, char **argv, board_check_options *o, const char **dll, int *companions)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(a, "--help") == 0)
            return help();
        if (strcmp(a, "--arch") == 0 && value) {
            if (strcmp(value, "x86") != 0 && strcmp(value, "x64") != 0)
                return usage("--arch is x86 or x64");
            o->bits = strcmp(value, "x86") == 0 ? 32 : 64;
            ++i;
        } else if (strcmp(a, "--companions") == 0) {
            *companions = 1;
        } else if (a[0] == '-' && a[1] == '-') {
            return usage("unknown option or missing value");
        } else if (*dll) {
            return usage("one DLL at a time");
        } else {
            *dll = a;
        }
    }
    return -1;
}

#ifdef _WIN32
/*
 * Paths travel as UTF-8 inside board-check and become UTF-16 to open a file,
 * so that any name Windows can give a file is read, whatever the code page;
 * past MAX_PATH as a \\?\ path.
 */
static FILE *open_file(const char *path)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, NULL, 0);
    if (length <= 0 || length > MAX_LONG_PATH)
        return NULL;
    static const wchar_t long_prefix[] = L"\\\\?\\";
    enum { PREFIX = sizeof long_prefix / sizeof long_prefix[0] - 1 };
    wchar_t *wide = malloc(sizeof(wchar_t) * (size_t)(length + PREFIX));
    if (!wide)
        return NULL;
    wchar_t *name = wide + PREFIX;
    MultiByteToWideChar(CP_UTF8, 0, path, -1, name, length);
    const int absolute = ((name[0] | 0x20) >= L'a' && (name[0] | 0x20) <= L'z' && name[1] == L':'
        && (name[2] == L'\\' || name[2] == L'/'));
    if (absolute && length > MAX_PATH) {
        for (wchar_t *c = name; *c; ++c)
            if (*c == L'/')
                *c = L'\\';
        memcpy(wide, long_prefix, sizeof(wchar_t) * PREFIX);
        name = wide;
    }
    FILE *file = _wfopen(name, L"rb");
    free(wide);
    return file;
}
#else
static FILE *open_file(const char *path)
{
    return fopen(path, "rb");
}
#endif

static unsigned char *read_file(const char *path, size_t *size)
{
    FILE *file = open_file(path);
    if (!file)
        return NULL;
    unsigned char *data = NULL;
    if (fseek(file, 0, SEEK_END) == 0) {
        const long length = ftell(file);
        if (length >= 0 && length <= MAX_DLL_BYTES && fseek(file, 0, SEEK_SET) == 0) {
            data = malloc(length > 0 ? (size_t)length : 1);
            if (data && fread(data, 1, (size_t)length, file) != (size_t)length) {
                free(data);
                data = NULL;
            }
            *size = (size_t)length;
        }
    }
    fclose(file);
    return data;
}

enum { MAX_FOLDER = 4 * MAX_LONG_PATH, MAX_NAME = 255 }; /* UTF-8 bytes */

/* A DLL in the checked one's folder, which context holds. */
static board_file read_companion(const char *name, void *context)
{
    const char *folder = context;
    board_file file = {NULL, 0};
    if (strchr(name, '/') || strchr(name, '\\') || strlen(name) > MAX_NAME)
        return file;
    const size_t room = strlen(folder) + strlen(name) + 1;
    char *path = malloc(room);
    if (!path)
        return file;
    snprintf(path, room, "%s%s", folder, name);
    file.data = read_file(path, &file.size);
    free(path);
    return file;
}

static void free_companion(board_file *file, void *context)
{
    (void)context;
    free((void *)file->data);
    file->data = NULL;
}

static void print_companion(const char *name, void *context)
{
    (void)context;
    printf("%s\n", name);
}

#ifdef _WIN32
/* One of Windows' own DLLs, an API set, or one the program's folder holds. */
static int windows_has(const char *name, void *context)
{
    (void)context;
    if (_strnicmp(name, "api-ms-win-", 11) == 0 || _strnicmp(name, "ext-ms-", 7) == 0)
        return 1;
#  ifdef BOARD_CHECK_PROGRAM_DLLS
    if (board_check_dll_listed(name, BOARD_CHECK_PROGRAM_DLLS))
        return 1;
#  endif
    char path[MAX_PATH];
    const UINT length_of_folder = GetSystemDirectoryA(path, MAX_PATH);
    if (length_of_folder == 0 || length_of_folder + 1 + strlen(name) >= MAX_PATH)
        return 1; /* cannot tell */
    snprintf(path + length_of_folder, MAX_PATH - length_of_folder, "\\%s", name);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
#endif

#ifdef _WIN32
/* The command line as UTF-8, whatever the code page; NULL where it cannot be had. */
static char **utf8_arguments(int *argc)
{
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), argc);
    if (!wide)
        return NULL;
    char **argv = calloc((size_t)*argc + 1, sizeof(char *));
    for (int i = 0; argv && i < *argc; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, NULL, 0, NULL, NULL);
        argv[i] = bytes > 0 ? malloc((size_t)bytes) : NULL;
        if (!argv[i]) {
            argv = NULL; /* the process ends soon: what was taken goes with it */
            break;
        }
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argv[i], bytes, NULL, NULL);
    }
    LocalFree(wide);
    return argv;
}

/* The full path of this program as UTF-8, or "" where it cannot be had. */
static void own_path(char *path, size_t room)
{
    path[0] = '\0';
    wchar_t wide[MAX_LONG_PATH + 1];
    const DWORD length = GetModuleFileNameW(NULL, wide, MAX_LONG_PATH + 1);
    if (length == 0 || length > MAX_LONG_PATH)
        return;
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, path, (int)room, NULL, NULL) <= 0)
        path[0] = '\0';
}
#endif

int main(int argc, char **argv)
{
#ifdef _WIN32
    argv = utf8_arguments(&argc);
    if (!argv)
        return usage("cannot read the command line");
    /* What it says names files in UTF-8: a console shows them so. */
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR)
        SetConsoleOutputCP(CP_UTF8);
#endif

    board_check_options o = {0};
    o.companion = read_companion;
    o.companion_done = free_companion;
#ifdef _WIN32
    o.bits = (int)sizeof(void *) * 8;
    o.windows_has = windows_has;
#endif
    const char *dll = NULL;
    int companions = 0;
    const int parsed = parse_options(argc, argv, &o, &dll, &companions);
    if (parsed >= 0)
        return parsed;
    if (o.bits == 0)
        return usage("--arch is needed here: this board-check is not a Windows program");

#ifdef _WIN32
    static char beside[MAX_FOLDER + MAX_NAME + 1];
    if (!dll) {
        own_path(beside, MAX_FOLDER);
        char *slash = strrchr(beside, '\\');
        const size_t name_bytes = strlen(board_dll_name) + 1;
        if (!slash || (size_t)(slash - beside) + 1 + name_bytes > sizeof beside)
            return usage("name the DLL to check");
        memcpy(slash + 1, board_dll_name, name_bytes);
        dll = beside;
    }
#endif
    if (!dll)
        return usage("name the DLL to check");
    /* Its companions are read from its own folder, never from the current one. */
    static char folder[MAX_FOLDER] = "";
    const char *slash = strrchr(dll, '/');
    const char *backslash = strrchr(dll, '\\');
    slash = backslash > slash ? backslash : slash;
    if (slash && (size_t)(slash - dll) + 1 >= sizeof folder)
        return usage("the DLL's path is too long");
    if (slash)
        snprintf(folder, sizeof folder, "%.*s", (int)(slash - dll) + 1, dll);
    o.context = folder;

    FILE *out = stdout;
    if (companions) {
        o.found_companion = print_companion;
#ifdef _WIN32
        out = fopen("NUL", "w"); /* the rest of what it says goes unread */
#else
        out = fopen("/dev/null", "w");
#endif
        if (!out)
            return usage("cannot open the null device");
    }
    fprintf(out, "%s:\n", dll);
    size_t size = 0;
    unsigned char *data = read_file(dll, &size);
    if (!data) {
        fprintf(out, "does not fit: there is no readable file there\n");
        return BOARD_UNREADABLE;
    }
    const int status = board_check_dll(&o, data, size, out);
    free(data);
    return status;
}
