// Timing of the codec's two hot paths: building one upgrade data frame, and scanning a full
// receive buffer of noise that ends with one reply.
#include "codec.h"
#include "constants.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

namespace {

// One packet of image text.
QByteArray packetText()
{
    QByteArray image;
    for (int i = 0; i < Quorvane::kPacketBytes; ++i)
        image.append(static_cast<char>((i * 131 + 17) & 0xFF));
    return image.toHex();
}

// kRecvCapChars characters of receive buffer: random bytes (no 0x7E, so no start marker at a
// byte boundary but plenty of "7E" across boundaries and of "0D"), then one reply.
QByteArray noisyBuffer(const QByteArray &reply)
{
    QRandomGenerator rng(42);
    const int noiseBytes = Quorvane::kRecvCapChars / 2 - reply.size();
    QByteArray noise;
    while (noise.size() < noiseBytes) {
        const char c = static_cast<char>(rng.bounded(256));
        if (c != Codec::kSoiAscii)
            noise.append(c);
    }
    return (noise + reply).toHex();
}

// Like noisyBuffer, but the noise is full of start markers whose candidates fail late: each is
// a reply with a wrong CHKSUM, so the scan has to check every one.
QByteArray rejectedCandidatesBuffer(const QByteArray &reply)
{
    QByteArray bad = reply;
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
    QByteArray wire;
    while (wire.size() + bad.size() + reply.size() <= Quorvane::kRecvCapChars / 2)
        wire.append(bad);
    return (wire + reply).toHex();
}

void BM_BuildDataFrame(benchmark::State &state)
{
    const QByteArray payload = packetText();
    quint16 packet = 0;
    for (auto _ : state) {
        QByteArray frame = Codec::buildDataFrame(payload, packet++, 0x33, 1);
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_BuildDataFrame)->Unit(benchmark::kMicrosecond);

void scanBench(benchmark::State &state, const QByteArray &buffer)
{
    for (auto _ : state) {
        QByteArray work = buffer;
        const QByteArrayList infos = Codec::scanFrames(work);
        if (infos.size() != 1 || !work.isEmpty())
            state.SkipWithError("the reply at the end was not found");
        benchmark::DoNotOptimize(infos);
    }
    state.SetBytesProcessed(state.iterations() * buffer.size());
}

void BM_ScanNoiseThenReply(benchmark::State &state)
{
    const QByteArray reply = Codec::buildAsciiFrame("56312E32", 0x4A, 0, 1, 0x25);
    scanBench(state, noisyBuffer(reply));
}
BENCHMARK(BM_ScanNoiseThenReply)->Unit(benchmark::kMicrosecond);

void BM_ScanRejectedCandidatesThenReply(benchmark::State &state)
{
    const QByteArray reply = Codec::buildAsciiFrame("56312E32", 0x4A, 0, 1, 0x25);
    scanBench(state, rejectedCandidatesBuffer(reply));
}
BENCHMARK(BM_ScanRejectedCandidatesThenReply)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
