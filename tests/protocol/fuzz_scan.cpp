// libFuzzer target for the receive scan and the hexadecimal conversions.
// The first input byte picks what the rest feeds:
//   0: received bytes, appended as the window does (lower-case hex text), in two reads;
//   1: the receive buffer's text itself, any characters at all;
//   2: convertToACC2, tokensToBytes and decodeInfo;
//   3: INFO of a 0x7E frame that is built, received after noise, and must come back whole.
// Every violated property aborts with a message, which libFuzzer reports as a crash.
#include "codec.h"
#include "constants.h"
#include "scan_checks.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const QString &what)
{
    std::fprintf(stderr, "fuzz_scan: %s\n", qPrintable(what));
    std::abort();
}

void require(bool condition, const char *what)
{
    if (!condition)
        fail(QString::fromLatin1(what));
}

void scanAndCheck(QByteArray &buffer)
{
    QByteArrayList infos;
    const QString problem = ScanChecks::checkedScan(buffer, &infos);
    if (!problem.isEmpty())
        fail(problem);
}

void receivedBytes(const QByteArray &input)
{
    const int cut = input.isEmpty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
    QByteArray buffer = input.left(cut).toHex();
    scanAndCheck(buffer);
    buffer.append(input.mid(cut).toHex());
    scanAndCheck(buffer);
}

void conversions(const QByteArray &input)
{
    const QString text = QString::fromUtf8(input);
    QString edited = text;
    const QByteArray bytes = Codec::convertToACC2(edited);
    static const QRegularExpression onlyHex(QStringLiteral("^[0-9A-Fa-f]*$"));
    require(onlyHex.match(edited).hasMatch(), "convertToACC2 left a non-hex character");
    QString expectedText = text;
    expectedText.remove(QRegularExpression(QStringLiteral("[^0-9A-Fa-f]")));
    require(edited == expectedText, "convertToACC2 removed the wrong characters");
    if (edited.size() % 2 != 0)
        require(bytes.isEmpty(), "convertToACC2 returned bytes for odd text");
    else
        require(bytes == QByteArray::fromHex(edited.toLatin1()), "convertToACC2 decoded wrongly");

    const QByteArray tokens = Codec::tokensToBytes(input);
    require(tokens.size() <= input.size() + 1, "tokensToBytes made more bytes than pieces");
    Codec::decodeInfo(input);
}

void builtFrame(const QByteArray &input)
{
    const QByteArray info = input.left(0x0FFF);
    const QByteArray frame = Codec::buildAsciiFrame(info, 0x4A, 0x00, 0x01, 0x25);
    require(frame.size() == 18 + info.size(), "0x7E frame has the wrong size");
    QByteArray buffer = QByteArray::fromHex("0D7E00").toHex() + frame.toHex();
    QByteArrayList infos;
    const QString problem = ScanChecks::checkedScan(buffer, &infos);
    if (!problem.isEmpty())
        fail(problem);
    require(infos.size() == 1 && buffer.isEmpty(), "a built frame was not received");
    require(infos[0] == frame.mid(Quorvane::kInfoOffset, info.size()).toHex().toUpper(),
            "received INFO differs from the sent one");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 64 * 1024)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, static_cast<int>(size - 1));
    switch (data[0] % 4) {
    case 0:
        receivedBytes(rest);
        break;
    case 1: {
        QByteArray buffer = rest;
        scanAndCheck(buffer);
        break;
    }
    case 2:
        conversions(rest);
        break;
    default:
        builtFrame(rest);
        break;
    }
    return 0;
}
