#include "check_report.h"

#ifndef POWERMONITOR_VERSION
#  define POWERMONITOR_VERSION "0"
#endif

/* "1 of them is", "2 of them are". */
static const char *are(int count)
{
    return count == 1 ? "is" : "are";
}

static const char *arch(int bits)
{
    return bits == 32 ? "x86" : "x64";
}

void report_missing_functions(FILE *out, const char *const *names, int count)
{
    if (count == 0)
        return;
    fprintf(out, "missing functions:");
    for (int i = 0; i < count; ++i)
        fprintf(out, " %s", names[i]);
    fprintf(out, "\n");
}

void report_other_bytes(FILE *out, const char *export_name, int bytes, int program_bytes)
{
    fprintf(out, "%s takes %d bytes of arguments, and the program passes %d\n", export_name, bytes,
        program_bytes);
}

void report_fastcall(FILE *out, const char *export_name)
{
    fprintf(out, "%s is __fastcall, which takes its arguments in registers\n", export_name);
}

void report_forward(FILE *out, forward_problem problem, const char *export_name, const char *to,
    const char *target, int bits, int hops)
{
    switch (problem) {
    case FORWARD_NAMES_NO_FUNCTION:
        fprintf(out, "%s is forwarded to %s, which names no function of a DLL\n", export_name, to);
        break;
    case FORWARD_NOT_BESIDE:
        fprintf(out, "%s is forwarded to %s, which is not beside it\n", export_name, to);
        break;
    case FORWARD_OTHER_ARCHITECTURE:
        fprintf(out, "%s is forwarded to %s, which is no %d-bit DLL\n", export_name, to, bits);
        break;
    case FORWARD_NOT_EXPORTED:
        fprintf(out, "%s is forwarded to %s, which does not export %s\n", export_name, to, target);
        break;
    case FORWARD_TOO_FAR:
        fprintf(out, "%s is forwarded on more than %d times (in a loop?), further than the check follows\n",
            export_name, hops);
        break;
    }
}

void report_companion(FILE *out, const char *name)
{
    fprintf(out, "companion beside it: %s\n", name);
}

void report_unloadable_companion(FILE *out, const char *name, const char *why, int bits)
{
    if (why)
        fprintf(out, "%s beside it cannot be loaded: %s\n", name, why);
    else
        fprintf(out, "%s beside it cannot be loaded: it is a %d-bit DLL\n", name, bits);
}

void report_unfound_dll(FILE *out, const char *needed_by, const char *name)
{
    if (needed_by)
        fprintf(out, "%s beside it needs %s, which is neither beside it nor one of Windows' own\n", needed_by,
            name);
    else
        fprintf(out, "it needs %s, which is neither beside it nor one of Windows' own\n", name);
}

void report_unreadable(FILE *out, const char *why)
{
    fprintf(out, "does not fit: %s\n", why);
}

void report_other_architecture(FILE *out, int dll_bits, int program_bits)
{
    const char *other_arch = arch(dll_bits);
    fprintf(out,
        "does not fit: it is a %d-bit DLL, and this is the %d-bit program (%s): a %d-bit program "
        "cannot load it. Operators install powermonitor-%s-%s.exe instead; builders use "
        "WINDOWS_ARCH=%s (make windows WINDOWS_ARCH=%s, or cmake --preset windows-%s).\n",
        dll_bits, program_bits, arch(program_bits), program_bits, POWERMONITOR_VERSION,
        dll_bits == 32 ? "win32" : "win64", other_arch, other_arch, other_arch);
}

void report_recorder(FILE *out, const char *board_dll, const char *library_name)
{
    fprintf(out,
        "does not fit: it is the power monitor's board-call recorder, not the board maker's library: "
        "it only passes each call on to the maker's DLL. Install the maker's %s as the board library "
        "first; to record its calls, rename that one to %s.real.dll and put the recorder beside it "
        "under the name %s.\n",
        board_dll, library_name, board_dll);
}

void report_unfit_names(FILE *out, int unfit, int functions)
{
    fprintf(out,
        "does not fit: %d of the %d functions that the program calls %s not exported under a name it "
        "looks for (name, name@N, _name@N or _name, with the interface's N); the program would not start "
        "with it.\n",
        unfit, functions, are(unfit));
}

void report_broken_forwards(FILE *out, int broken)
{
    fprintf(out, "does not fit: %d of its functions %s forwarded to DLLs that do not provide them.\n", broken,
        are(broken));
}

void report_missing_dlls(FILE *out, int missing)
{
    fprintf(out, "does not fit: %d of the DLLs it needs %s missing; Windows would not load it.\n", missing,
        are(missing));
}

void report_unloadable_dlls(FILE *out, int unloadable)
{
    fprintf(out,
        "does not fit: %d of the DLLs beside it that it needs %s no DLL of its own architecture; "
        "Windows would not load it.\n",
        unloadable, are(unloadable));
}

void report_fits(FILE *out, const fitting_dll *dll)
{
    fprintf(out, "a %d-bit (%s) DLL exporting all %d board functions, with %s names (%s)\n", dll->bits,
        arch(dll->bits), dll->functions, dll->decorated ? "decorated" : "plain", dll->example);
    if (dll->forwarded)
        fprintf(out, "%d of them forwarded to a DLL beside it (%s)\n", dll->forwarded, dll->first_forward);
    if (dll->bits == 32 && dll->stdcall_names)
        fprintf(
            out, "remark: its names say its functions are __stdcall; the program calls either convention\n");
    if (dll->description[0])
        fprintf(out, "its version information: \"%s\"\n", dll->description);
    if (dll->simulated)
        fprintf(out,
            "fits this program: it is the power monitor's SIMULATED board, not the board maker's library\n");
    else
        fprintf(out, "fits this program (%s)\n", arch(dll->bits));
}
