#pragma once
// WAV files for the sound tests, built byte by byte.
#include <QByteArray>
#include <QtEndian>

namespace wavfile {

inline QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

inline QByteArray chunk(const QByteArray& id, const QByteArray& body, qint64 stated = -1)
{
    QByteArray c = id + le32(quint32(stated < 0 ? body.size() : stated)) + body;
    if (body.size() & 1)
        c += '\0'; // chunks are padded to an even length
    return c;
}

inline QByteArray fmt()
{
    // PCM, mono, 8 kHz, 8 bits.
    QByteArray f;
    f += QByteArray::fromHex("0100" "0100") + le32(8000) + le32(8000) + QByteArray::fromHex("0100" "0800");
    return chunk("fmt ", f);
}

// A "fmt " chunk of other fields: format code, channels, samples a second, bits a sample.
inline QByteArray format(quint16 code, quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 align = quint16(channels * bits / 8);
    QByteArray f(16, '\0');
    qToLittleEndian(code, f.data());
    qToLittleEndian(channels, f.data() + 2);
    qToLittleEndian(rate, f.data() + 4);
    qToLittleEndian(quint32(rate * align), f.data() + 8);
    qToLittleEndian(align, f.data() + 12);
    qToLittleEndian(bits, f.data() + 14);
    return chunk("fmt ", f);
}

// Sound data whose every block differs from its neighbours, so order and offsets show.
inline QByteArray sound(qint64 n, int seed = 0)
{
    QByteArray d(n, '\0');
    for (qint64 i = 0; i < n; ++i)
        d[i] = char((i * 7 + i / 512 * 13 + seed) & 0xFF);
    return d;
}

inline QByteArray riff(const QByteArray& chunks)
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

// The canonical 44-byte header, then the data; `stated` overrides the length at bytes 40-43.
inline QByteArray canonical(const QByteArray& data, qint64 stated = -1)
{
    QByteArray d = "data" + le32(quint32(stated < 0 ? data.size() : stated)) + data;
    return riff(fmt() + d);
}

// Many editors put a LIST (INFO) chunk between "fmt " and "data".
inline QByteArray withlist(const QByteArray& data)
{
    const QByteArray info = "INFO" + chunk("INAM", QByteArray("Message one", 11)) /* odd: padded */;
    return riff(fmt() + chunk("LIST", info) + chunk("data", data));
}

} // namespace wavfile
