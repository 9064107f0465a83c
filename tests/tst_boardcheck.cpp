// board-check's rules on DLL images made here: what decides whether a board
// DLL fits a program, and what the operator is told.
#include "boardcontrol_api.h"
#include "boardcontrol_functions.h"
#include "boardcontrol_names.h"
#include "dll_check.h"
#include "pe_reader.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstdio>

namespace {

struct Function
{
    QByteArray name;
    int stackBytes;
};

#define BOARDCHECK_TEST_ENTRY(name, shape, output) {QByteArray(#name), BCTRL_SHAPE_STACK_BYTES_##shape},
const QList<Function> interfaceFunctions {BCTRL_FOR_EACH_FUNCTION(BOARDCHECK_TEST_ENTRY)};
#undef BOARDCHECK_TEST_ENTRY

constexpr quint32 sectionRva = 0x1000;
constexpr quint32 sectionFileOffset = 0x200;
constexpr quint16 machineI386 = 0x14c;
constexpr quint16 machineAmd64 = 0x8664;

// Each function's code: a return. board-check reads names, never code.
const QByteArray functionBody = QByteArray::fromHex("c3");

struct Export
{
    QByteArray name;
    QByteArray code;
    QByteArray forward = {}; // "MODULE.name" for an export forwarded there
};

void put16(QByteArray &data, int at, quint16 value)
{
    qToLittleEndian(value, data.data() + at);
}
void put32(QByteArray &data, int at, quint32 value)
{
    qToLittleEndian(value, data.data() + at);
}

// A DLL image with one section that holds the code, the export table, an
// import table of the DLLs named and, where a description is given, a version
// resource that carries it.
QByteArray dllImage(int bits, const QList<Export> &exports, const QString &description = {},
    const QList<QByteArray> &imports = {})
{
    QByteArray section;
    auto place = [&section](const QByteArray &bytes) {
        while (section.size() % 4)
            section += '\0';
        const auto rva = sectionRva + quint32(section.size());
        section += bytes;
        return rva;
    };
    QList<quint32> codeRvas;
    QList<quint32> nameRvas;
    for (const Export &e : exports) {
        codeRvas << place(e.code);
        nameRvas << place(e.name + '\0');
    }
    QByteArray table((4 + 4 + 2) * exports.size(), '\0');
    for (int i = 0; i < exports.size(); ++i) {
        put32(table, 4 * i, codeRvas[i]);
        put32(table, 4 * int(exports.size()) + 4 * i, nameRvas[i]);
        put16(table, 8 * int(exports.size()) + 2 * i, quint16(i));
    }
    const auto tableRva = place(table);
    QByteArray directory(40, '\0');
    put32(directory, 20, quint32(exports.size()));
    put32(directory, 24, quint32(exports.size()));
    put32(directory, 28, tableRva);
    put32(directory, 32, tableRva + 4 * quint32(exports.size()));
    put32(directory, 36, tableRva + 8 * quint32(exports.size()));
    const auto exportRva = place(directory);
    // A forwarded export's address is its "MODULE.name" inside the export directory.
    for (int i = 0; i < exports.size(); ++i)
        if (!exports[i].forward.isEmpty())
            put32(section, int(tableRva - sectionRva) + 4 * i, place(exports[i].forward + '\0'));
    const auto exportSize = quint32(section.size()) - (exportRva - sectionRva);
    quint32 importRva = 0;
    if (!imports.isEmpty()) {
        QByteArray descriptors(20 * (imports.size() + 1), '\0');
        for (int i = 0; i < imports.size(); ++i)
            put32(descriptors, 20 * i + 12, place(imports[i] + '\0'));
        importRva = place(descriptors);
    }

    quint32 resourceRva = 0;
    if (!description.isEmpty()) {
        // Type 16 (version) -> name 1 -> language 0x409 -> data, each a
        // directory of one entry; then the version block with the one string.
        QByteArray tree(3 * 24 + 16, '\0');
        for (int level = 0; level < 3; ++level) {
            put16(tree, 24 * level + 14, 1);
            put32(tree, 24 * level + 16, level == 0 ? 16 : level == 1 ? 1 : 0x409);
            put32(tree, 24 * level + 20, level < 2 ? (0x80000000u | quint32(24 * (level + 1))) : 72u);
        }
        QByteArray block(4, '\0');
        for (const QString &text : {QStringLiteral("FileDescription"), description})
            for (const QChar c : text + QChar(0))
                block += char(c.unicode() & 0xff), block += char(c.unicode() >> 8);
        resourceRva = place(tree);
        put32(section, int(resourceRva - sectionRva) + 72, place(block));
        put32(section, int(resourceRva - sectionRva) + 76, quint32(block.size()));
    }

    const int optionalSize = bits == 32 ? 224 : 240;
    QByteArray image(int(sectionFileOffset), '\0');
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3c, 0x40);
    image.replace(0x40, 4, QByteArray("PE\0\0", 4));
    put16(image, 0x44, bits == 32 ? machineI386 : machineAmd64);
    put16(image, 0x46, 1);
    put16(image, 0x54, quint16(optionalSize));
    const int optional = 0x58;
    put16(image, optional, bits == 32 ? 0x10b : 0x20b);
    const int directories = optional + (bits == 32 ? 92 : 108);
    put32(image, directories, 16);
    put32(image, directories + 4, exportRva);
    put32(image, directories + 8, exportSize);
    put32(image, directories + 4 + 8, importRva);
    put32(image, directories + 4 + 16, resourceRva);
    const int header = optional + optionalSize;
    put32(image, header + 8, quint32(section.size()));
    put32(image, header + 12, sectionRva);
    put32(image, header + 16, quint32(section.size()));
    put32(image, header + 20, sectionFileOffset);
    return image + section;
}

// The image with count section headers: its own section first, then empty ones
// at ascending addresses far above it; its section's bytes move past them.
QByteArray withSections(const QByteArray &image, int bits, int count)
{
    const int header = 0x58 + (bits == 32 ? 224 : 240);
    const QByteArray own = image.mid(header, 40);
    const int dataAt = (header + 40 * count + 0x1ff) & ~0x1ff;
    QByteArray out = image.left(header);
    out += own;
    for (int i = 1; i < count; ++i) {
        QByteArray empty(40, '\0');
        put32(empty, 12, 0x01000000u + 0x1000u * quint32(i));
        out += empty;
    }
    out += QByteArray(dataAt - int(out.size()), '\0');
    put16(out, 0x46, quint16(count));
    put32(out, header + 20, quint32(dataAt));
    put32(out, header + 16, quint32(image.size()) - sectionFileOffset);
    return out + image.mid(int(sectionFileOffset));
}

// The file offset of the export directory of an image dllImage made.
int exportDirectory(const QByteArray &image, int bits)
{
    const int directories = 0x58 + (bits == 32 ? 92 : 108);
    return int(
        qFromLittleEndian<quint32>(image.constData() + directories + 4) - sectionRva + sectionFileOffset);
}

enum class Naming { Plain, MinGW, Msvc, CppBuilder, Fastcall };

// The 18 functions, named as a maker's compiler names them.
QList<Export> boardExports(Naming naming = Naming::Plain, const QByteArray &leaveOut = {})
{
    QList<Export> exports;
    for (const Function &f : interfaceFunctions) {
        if (f.name == leaveOut)
            continue;
        QByteArray name = f.name;
        if (naming != Naming::Plain && naming != Naming::CppBuilder)
            name += '@' + QByteArray::number(f.stackBytes);
        if (naming == Naming::Msvc || naming == Naming::CppBuilder)
            name.prepend('_');
        if (naming == Naming::Fastcall)
            name.prepend('@');
        exports << Export {name, functionBody};
    }
    return exports;
}

QList<Export> renamed(QList<Export> exports, const QByteArray &function, const QByteArray &name)
{
    for (Export &e : exports)
        if (e.name == function)
            e.name = name;
    return exports;
}

// Every export forwarded to the same name in module.
enum class Target { SameName, Prefixed, Ordinal };
const QByteArray corePrefix = "Core_";

// Each export forwarded to module: under its own name, under corePrefix and
// its name, or by its ordinal (its place in the list).
QList<Export> forwardedTo(QList<Export> exports, const QByteArray &module, Target target = Target::SameName)
{
    for (int i = 0; i < exports.size(); ++i) {
        Export &e = exports[i];
        const QByteArray name = target == Target::Ordinal ? '#' + QByteArray::number(i)
            : target == Target::Prefixed                  ? corePrefix + e.name
                                                          : e.name;
        e.forward = module + '.' + name;
    }
    return exports;
}

QList<Export> prefixed(QList<Export> exports)
{
    for (Export &e : exports)
        e.name.prepend(corePrefix);
    return exports;
}

// The DLLs beside the checked one, by file name, and one of Windows' own.
using Companions = QHash<QByteArray, QByteArray>;
const QByteArray windowsOwn = "KERNEL32.dll";

int windowsHas(const char *name, void *)
{
    return name == windowsOwn;
}

board_file companion(const char *name, void *context)
{
    const auto *beside = static_cast<const Companions *>(context);
    const auto found = beside->constFind(name);
    if (found == beside->cend())
        return {nullptr, 0};
    return {reinterpret_cast<const unsigned char *>(found->constData()), size_t(found->size())};
}

struct Said
{
    int status;
    QString text;
};

Said runCheck(const board_check_options &options, const QByteArray &image)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("said.txt")));
    FILE *out = std::fopen(path.constData(), "w+");
    Q_ASSERT(out);
    const int status = board_check_dll(
        &options, reinterpret_cast<const unsigned char *>(image.constData()), size_t(image.size()), out);
    std::fclose(out);
    QFile said(dir.filePath(QStringLiteral("said.txt")));
    said.open(QIODevice::ReadOnly);
    return {status, QString::fromUtf8(said.readAll())};
}

} // namespace

class TestBoardCheck : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
    void countsBoundedByTheFile();
    void nameKind_data();
    void nameKind();
    void findExport_data();
    void findExport();
    void dllListed_data();
    void dllListed();
};

void TestBoardCheck::verdict_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("bits");
    QTest::addColumn<Companions>("beside");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");

    const auto plain = boardExports();
    const Companions none;
    QTest::newRow("plain names") << dllImage(32, plain) << 32 << none << int(BOARD_FITS)
                                 << "with plain names (bctrl_deinit)";
    QTest::newRow("name@N") << dllImage(32, boardExports(Naming::MinGW)) << 32 << none << int(BOARD_FITS)
                            << "remark: its names say its functions are __stdcall";
    QTest::newRow("_name@N") << dllImage(32, boardExports(Naming::Msvc)) << 32 << none << int(BOARD_FITS)
                             << "(_bctrl_deinit@4)";
    QTest::newRow("_name@N and plain names") << dllImage(32, boardExports(Naming::Msvc) + plain) << 32 << none
                                             << int(BOARD_FITS) << "fits this program";
    QTest::newRow("@N that is not the interface's")
        << dllImage(32, renamed(plain, "bctrl_get_pgood_states", "bctrl_get_pgood_states@4")) << 32 << none
        << int(BOARD_DOES_NOT_FIT)
        << "bctrl_get_pgood_states@4 takes 4 bytes of arguments, and the program passes 8";
    QTest::newRow("__fastcall") << dllImage(32, boardExports(Naming::Fastcall)) << 32 << none
                                << int(BOARD_DOES_NOT_FIT) << "@bctrl_deinit@4 is __fastcall";
    QTest::newRow("_name, C++Builder's __cdecl")
        << dllImage(32, boardExports(Naming::CppBuilder)) << 32 << none << int(BOARD_FITS)
        << "with decorated names (_bctrl_deinit)";
    QTest::newRow("a longer name that begins as one of ours")
        << dllImage(32, renamed(plain, "bctrl_init", "bctrl_initialise")) << 32 << none
        << int(BOARD_DOES_NOT_FIT) << "missing functions: bctrl_init";
    QTest::newRow("one function missing")
        << dllImage(32, boardExports(Naming::Plain, "bctrl_reset_modem")) << 32 << none
        << int(BOARD_DOES_NOT_FIT) << "1 of the 18 functions that the program calls is not exported";
    QTest::newRow("forwarded to a DLL beside it")
        << dllImage(32, forwardedTo(plain, "Orvane_board_core")) << 32
        << Companions {{"Orvane_board_core.dll", dllImage(32, plain)}} << int(BOARD_FITS)
        << "18 of them forwarded to a DLL beside it (Orvane_board_core.bctrl_init)";
    QTest::newRow("forwarded to nothing beside it")
        << dllImage(32, forwardedTo(plain, "Orvane_board_core")) << 32 << none << int(BOARD_DOES_NOT_FIT)
        << "bctrl_init is forwarded to Orvane_board_core.dll, which is not beside it";
    QTest::newRow("forwarded to a DLL without it")
        << dllImage(32, forwardedTo(plain, "Orvane_board_core")) << 32
        << Companions {{"Orvane_board_core.dll", dllImage(32, boardExports(Naming::Plain, "bctrl_init"))}}
        << int(BOARD_DOES_NOT_FIT) << "which does not export bctrl_init";
    // Forwards and imports as Windows' loader follows them.
    const QByteArray core = "Orvane_core.dll";
    QTest::newRow("forwarded under other names")
        << dllImage(32, forwardedTo(plain, "Orvane_core", Target::Prefixed)) << 32
        << Companions {{core, dllImage(32, prefixed(plain))}} << int(BOARD_FITS) << "18 of them forwarded";
    QTest::newRow("forwarded by ordinal")
        << dllImage(32, forwardedTo(plain, "Orvane_core", Target::Ordinal)) << 32
        << Companions {{core, dllImage(32, prefixed(plain))}} << int(BOARD_FITS) << "18 of them forwarded";
    QTest::newRow("forwarded by an ordinal it lacks")
        << dllImage(32, forwardedTo(plain, "Orvane_core", Target::Ordinal)) << 32
        << Companions {{core, dllImage(32, boardExports(Naming::Plain, "bctrl_init"))}}
        << int(BOARD_DOES_NOT_FIT) << "is forwarded to Orvane_core.dll, which does not export #17";
    QTest::newRow("forwarded on through a second DLL")
        << dllImage(32, forwardedTo(plain, "Orvane_core")) << 32
        << Companions {{core, dllImage(32, forwardedTo(plain, "Orvane_io"))},
               {"Orvane_io.dll", dllImage(32, plain)}}
        << int(BOARD_FITS) << "companion beside it: Orvane_io.dll";
    QTest::newRow("forwarded in a loop")
        << dllImage(32, forwardedTo(plain, "Orvane_core")) << 32
        << Companions {{core, dllImage(32, forwardedTo(plain, "Orvane_core"))}} << int(BOARD_DOES_NOT_FIT)
        << "bctrl_init is forwarded on more than 16 times";
    QTest::newRow("forwarded to Windows' own") << dllImage(32, forwardedTo(plain, "KERNEL32")) << 32 << none
                                               << int(BOARD_FITS) << "fits this program";
    QTest::newRow("a companion that needs a third DLL that is nowhere")
        << dllImage(32, plain, {}, {core}) << 32
        << Companions {{core, dllImage(32, prefixed(plain), {}, {"Orvane_io.dll", windowsOwn})}}
        << int(BOARD_DOES_NOT_FIT)
        << "Orvane_core.dll beside it needs Orvane_io.dll, which is neither beside it nor one of Windows' "
           "own";
    QTest::newRow("companions that need each other and the board DLL")
        << dllImage(32, plain, {}, {core}) << 32
        << Companions {{core,
                           dllImage(32, prefixed(plain), {}, {"Orvane_io.dll", BCTRL_LIBRARY_NAME ".dll"})},
               {"Orvane_io.dll", dllImage(32, prefixed(plain), {}, {core})}}
        << int(BOARD_FITS) << "companion beside it: Orvane_io.dll";
    QTest::newRow("forwarded to a DLL of the other architecture")
        << dllImage(64, forwardedTo(plain, "Orvane_board_core")) << 64
        << Companions {{"Orvane_board_core.dll", dllImage(32, plain)}} << int(BOARD_DOES_NOT_FIT)
        << "which is no 64-bit DLL";
    QTest::newRow("importing from a DLL beside it and from Windows")
        << dllImage(32, plain, {}, {"maker_io.dll", windowsOwn}) << 32
        << Companions {{"maker_io.dll", dllImage(32, prefixed(plain))}} << int(BOARD_FITS)
        << "companion beside it: maker_io.dll";
    QTest::newRow("importing from a file beside it that is no DLL")
        << dllImage(32, plain, {}, {"maker_io.dll"}) << 32 << Companions {{"maker_io.dll", QByteArray("MZ")}}
        << int(BOARD_DOES_NOT_FIT) << "maker_io.dll beside it cannot be loaded: it is not a Windows DLL";
    QTest::newRow("a companion's import of the other architecture")
        << dllImage(32, plain, {}, {core}) << 32
        << Companions {{core, dllImage(32, prefixed(plain), {}, {"Orvane_io.dll"})},
               {"Orvane_io.dll", dllImage(64, prefixed(plain))}}
        << int(BOARD_DOES_NOT_FIT) << "Orvane_io.dll beside it cannot be loaded: it is a 64-bit DLL";
    QTest::newRow("importing from a DLL that is nowhere")
        << dllImage(32, plain, {}, {"maker_io.dll", windowsOwn}) << 32 << none << int(BOARD_DOES_NOT_FIT)
        << "it needs maker_io.dll, which is neither beside it nor one of Windows' own";
    // gcc's stack protector: the maker's compiler runtime goes with the DLL.
    const auto protectedDll = dllImage(32, plain, {}, {"libssp-0.dll", windowsOwn});
    QTest::newRow("stack protector, its runtime beside it")
        << protectedDll << 32 << Companions {{"libssp-0.dll", dllImage(32, {})}} << int(BOARD_FITS)
        << "companion beside it: libssp-0.dll";
    QTest::newRow("stack protector, without its runtime")
        << protectedDll << 32 << none << int(BOARD_DOES_NOT_FIT)
        << "does not fit: 1 of the DLLs it needs is missing";
    QTest::newRow("two DLLs that are nowhere")
        << dllImage(32, plain, {}, {"libssp-0.dll", "maker_io.dll"}) << 32 << none << int(BOARD_DOES_NOT_FIT)
        << "does not fit: 2 of the DLLs it needs are missing";
    QTest::newRow("32-bit DLL, 64-bit program")
        << dllImage(32, plain) << 64 << none << int(BOARD_DOES_NOT_FIT) << "-win32.exe instead";
    QTest::newRow("64-bit DLL, 32-bit program")
        << dllImage(64, plain) << 32 << none << int(BOARD_DOES_NOT_FIT) << "-win64.exe instead";
    QTest::newRow("64-bit DLL, 64-bit program")
        << dllImage(64, plain) << 64 << none << int(BOARD_FITS) << "fits this program (x64)";
    QTest::newRow("our simulated board")
        << dllImage(32, plain, QStringLiteral(BOARD_CHECK_SIMULATED_MARK " Orvane9 board")) << 32 << none
        << int(BOARD_FITS_SIMULATED) << "it is the power monitor's SIMULATED board";
    QTest::newRow("a maker's version information")
        << dllImage(32, plain, QStringLiteral("Board control library")) << 32 << none << int(BOARD_FITS)
        << "its version information: \"Board control library\"";
    QTest::newRow("not a DLL") << QByteArray(
        "MZ but nothing more, and then some text to be long enough for it")
                               << 32 << none << int(BOARD_UNREADABLE) << "not a Windows DLL";
    QTest::newRow("cut short") << dllImage(32, plain).left(0x50) << 32 << none << int(BOARD_UNREADABLE)
                               << "(no PE header)";
    // Crafted headers: offsets that wrap a 32-bit sum, more sections than the file holds.
    QByteArray wrapping = dllImage(32, plain);
    put32(wrapping, 0x3c, 0xfffffff0u);
    QTest::newRow("a PE offset that wraps")
        << wrapping << 32 << none << int(BOARD_UNREADABLE) << "(no PE header)";
    QByteArray sections = dllImage(32, plain);
    put16(sections, 0x46, 0xffff);
    QTest::newRow("more sections than the file holds")
        << sections << 32 << none << int(BOARD_UNREADABLE) << "its section table runs past its end";
    QByteArray disordered = dllImage(32, plain);
    put16(disordered, 0x46, 2);
    QTest::newRow("sections out of order")
        << disordered << 32 << none << int(BOARD_UNREADABLE) << "its sections are out of order";
    // An empty section before the one that holds everything, at its address.
    QByteArray emptyFirst = dllImage(32, plain);
    const int sectionHeader = 0x58 + 224;
    emptyFirst.replace(sectionHeader + 40, 40, emptyFirst.mid(sectionHeader, 40));
    emptyFirst.replace(sectionHeader, 40, QByteArray(40, '\0'));
    put32(emptyFirst, sectionHeader + 12, sectionRva);
    put16(emptyFirst, 0x46, 2);
    QTest::newRow("an empty section at the next one's address")
        << emptyFirst << 32 << none << int(BOARD_FITS) << "fits this program (x86)";
    QTest::newRow("as many sections as a header can name") << withSections(dllImage(64, plain), 64,
        0xffff) << 64 << none << int(BOARD_FITS) << "fits this program (x64)";
    // The names' table holds one entry: a name of 'x' to the file's last byte.
    QByteArray unterminated = dllImage(32, plain);
    const auto tableRva = quint32(unterminated.size()) - sectionFileOffset + sectionRva;
    unterminated += QByteArray(4, '\0') + QByteArray(300, 'x');
    put32(unterminated, int(tableRva - sectionRva + sectionFileOffset), tableRva + 4);
    put32(unterminated, 0x58 + 224 + 16, quint32(unterminated.size()) - sectionFileOffset);
    put32(unterminated, exportDirectory(unterminated, 32) + 24, 1);
    put32(unterminated, exportDirectory(unterminated, 32) + 32, tableRva);
    QTest::newRow("a name without an end")
        << unterminated << 32 << none << int(BOARD_DOES_NOT_FIT) << "missing functions";

    // Our own DLLs, told by their version information.
    QTest::newRow("our board-call recorder")
        << dllImage(32, plain, QStringLiteral(BOARD_CHECK_RECORDER_MARK ": forwards every call")) << 32
        << none << int(BOARD_DOES_NOT_FIT) << "rename that one to " BCTRL_LIBRARY_NAME ".real.dll";
}

void TestBoardCheck::verdict()
{
    QFETCH(QByteArray, image);
    QFETCH(int, bits);
    QFETCH(Companions, beside);
    board_check_options options {};
    options.bits = bits;
    options.companion = companion;
    options.windows_has = windowsHas;
    options.context = &beside;
    const Said result = runCheck(options, image);
    // The fuzzer's seeds (scripts/fuzz.sh): every image here, by its digest.
    const QString seeds = qEnvironmentVariable("BOARDCHECK_FUZZ_SEEDS");
    if (!seeds.isEmpty()) {
        QFile seed(seeds + u'/'
            + QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha1).toHex()));
        QVERIFY(seed.open(QIODevice::WriteOnly) && seed.write(image) == image.size());
    }
    QFETCH(QString, said);
    QVERIFY2(result.text.contains(said), qPrintable(result.text));
    QTEST(result.status, "status");
}

// A count the file cannot hold is cut to what it holds, so a crafted file asks
// for no more work than its size allows.
void TestBoardCheck::countsBoundedByTheFile()
{
    QByteArray image = dllImage(32, boardExports());
    put32(image, exportDirectory(image, 32) + 24, 0xffffffffu);
    pe_file pe;
    QVERIFY(!pe_read(&pe, reinterpret_cast<const unsigned char *>(image.constData()), size_t(image.size())));
    pe_exports exports;
    QVERIFY(pe_exports_read(&pe, &exports));
    QCOMPARE(exports.names, (pe.size - exports.names_at) / 4);
}

// The one rule for names that the binding and board-check share.
void TestBoardCheck::nameKind_data()
{
    QTest::addColumn<QByteArray>("exported");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("otherBytes");
    // Of bctrl_enable_modem, whose __stdcall version takes 8 bytes.
    QTest::newRow("plain") << QByteArray("bctrl_enable_modem") << int(BCTRL_NAME_ACCEPTED) << -1;
    QTest::newRow("name@N") << QByteArray("bctrl_enable_modem@8") << int(BCTRL_NAME_ACCEPTED) << 8;
    QTest::newRow("_name@N") << QByteArray("_bctrl_enable_modem@8") << int(BCTRL_NAME_ACCEPTED) << 8;
    QTest::newRow("_name") << QByteArray("_bctrl_enable_modem") << int(BCTRL_NAME_ACCEPTED) << -1;
    QTest::newRow("other @N") << QByteArray("bctrl_enable_modem@12") << int(BCTRL_NAME_OTHER_BYTES) << 12;
    QTest::newRow("_name, other @N") << QByteArray("_bctrl_enable_modem@0") << int(BCTRL_NAME_OTHER_BYTES)
                                     << 0;
    QTest::newRow("__fastcall") << QByteArray("@bctrl_enable_modem@8") << int(BCTRL_NAME_FASTCALL) << 8;
    QTest::newRow("@name alone") << QByteArray("@bctrl_enable_modem") << int(BCTRL_NAME_UNRELATED) << -1;
    QTest::newRow("a longer name") << QByteArray("bctrl_enable_modem_2") << int(BCTRL_NAME_UNRELATED) << -1;
    QTest::newRow("@ without digits") << QByteArray("bctrl_enable_modem@") << int(BCTRL_NAME_UNRELATED) << -1;
    QTest::newRow("@N past the largest")
        << QByteArray("bctrl_enable_modem@65536") << int(BCTRL_NAME_UNRELATED) << -1;
    QTest::newRow("another function") << QByteArray("bctrl_enable_CUA@8") << int(BCTRL_NAME_UNRELATED) << -1;
}

void TestBoardCheck::nameKind()
{
    QFETCH(QByteArray, exported);
    int otherBytes = -1;
    QTEST(int(bctrl_name_kind_of(exported.constData(), "bctrl_enable_modem", 8, &otherBytes)), "kind");
    QTEST(otherBytes, "otherBytes");
    // Every name the binding tries is one the check accepts.
    char names[BCTRL_NAME_FORMS][BCTRL_NAME_MAX];
    bctrl_accepted_names("bctrl_enable_modem", 8, names);
    for (const char *name : names)
        QCOMPARE(
            int(bctrl_name_kind_of(name, "bctrl_enable_modem", 8, &otherBytes)), int(BCTRL_NAME_ACCEPTED));
}

// An export as the loader finds it, by name or ordinal, and where it is forwarded.
void TestBoardCheck::findExport_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArray>("wanted");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("forward");
    const auto plain = boardExports();
    const auto forwarded = dllImage(32, forwardedTo(plain, "Orvane_core", Target::Prefixed));
    QTest::newRow("by name, code") << dllImage(32, plain) << QByteArray("bctrl_init") << true << QByteArray();
    QTest::newRow("by name, forwarded")
        << forwarded << QByteArray("bctrl_deinit") << true << QByteArray("Orvane_core.Core_bctrl_deinit");
    QTest::newRow("by a name it lacks")
        << dllImage(32, plain) << QByteArray("bctrl_initialise") << false << QByteArray();
    QTest::newRow("by ordinal") << forwarded << QByteArray("#0") << true
                                << QByteArray("Orvane_core.Core_bctrl_init");
    QTest::newRow("by an ordinal past the last")
        << dllImage(32, plain) << QByteArray("#19") << false << QByteArray();
    QTest::newRow("by a # without a number")
        << dllImage(32, plain) << QByteArray("#x") << false << QByteArray();
}

void TestBoardCheck::findExport()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, wanted);
    pe_file pe;
    QVERIFY(!pe_read(&pe, reinterpret_cast<const unsigned char *>(image.constData()), size_t(image.size())));
    char forward[PE_MAX_TEXT];
    QTEST(bool(pe_find_export(&pe, wanted.constData(), forward, sizeof forward)), "found");
    QTEST(QByteArray(forward), "forward");
}

QTEST_GUILESS_MAIN(TestBoardCheck)
// The program's own DLLs, as board-check is built with them: names as
// Windows' loader takes them, whatever their case.
void TestBoardCheck::dllListed_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("listed");
    const QByteArray program("Qt5Core.dll|libwinpthread-1.dll|libgcc_s_dw2-1.dll");
    QTest::newRow("first") << QByteArray("Qt5Core.dll") << program << true;
    QTest::newRow("in the middle") << QByteArray("libwinpthread-1.dll") << program << true;
    QTest::newRow("last") << QByteArray("libgcc_s_dw2-1.dll") << program << true;
    QTest::newRow("upper case") << QByteArray("LIBWINPTHREAD-1.DLL") << program << true;
    QTest::newRow("mixed case") << QByteArray("qt5core.DLL") << program << true;
    QTest::newRow("the start of one") << QByteArray("libwinpthread") << program << false;
    QTest::newRow("the end of one") << QByteArray("pthread-1.dll") << program << false;
    QTest::newRow("one and more") << QByteArray("Qt5Core.dll.dll") << program << false;
    QTest::newRow("two of them") << QByteArray("Qt5Core.dll|libwinpthread-1.dll") << program << false;
    QTest::newRow("no name") << QByteArray("") << program << false;
    QTest::newRow("an empty list") << QByteArray("Qt5Core.dll") << QByteArray("") << false;
    QTest::newRow("a list of one") << QByteArray("qt6core.dll") << QByteArray("Qt6Core.dll") << true;
}

void TestBoardCheck::dllListed()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, list);
    QFETCH(bool, listed);
    QCOMPARE(board_check_dll_listed(name.constData(), list.constData()) != 0, listed);
}

#include "tst_boardcheck.moc"
