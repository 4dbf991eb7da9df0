#pragma once

#include <QByteArray>
#include <QtEndian>

#include <utility>
#include <vector>

// Compiled help files made by the tests themselves: every object stored uncompressed in the
// first content section, the directory in one listing chunk. Help compilers write such files
// too, and these can hold what chmcmd cannot compile.
namespace stored_help_file {

using Object = std::pair<QByteArray, QByteArray>; // path ("/index.htm"), bytes

template <typename T> void append(QByteArray& to, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    to.append(bytes, sizeof(T));
}

// The directory's variable-length numbers: seven bits a byte, most significant first.
inline void appendNumber(QByteArray& to, quint64 value) {
    QByteArray bytes(1, char(value & 0x7F));
    while ((value >>= 7) != 0)
        bytes.prepend(char(0x80 | (value & 0x7F)));
    to.append(bytes);
}

// The "#SYSTEM" record: contents file, default topic and title.
inline Object systemRecord(const QByteArray& contents, const QByteArray& defaultTopic,
                           const QByteArray& title) {
    QByteArray record;
    append<quint32>(record, 3);
    for (const auto& [code, text] : {std::pair{0, contents}, {2, defaultTopic}, {3, title}}) {
        append<quint16>(record, quint16(code));
        append<quint16>(record, quint16(text.size() + 1));
        record.append(text).append('\0');
    }
    return {"/#SYSTEM", record};
}

// The objects must be few enough for one 4096-byte chunk.
inline QByteArray build(const std::vector<Object>& objects) {
    constexpr quint32 kChunkSize = 4096;
    constexpr qint64 kHeaderSize = 0x60;
    constexpr qint64 kTableSize = 0x18;
    constexpr qint64 kDirectoryHeaderSize = 0x54;
    const QByteArray guidPart = QByteArray::fromHex("AA7BD0119E0C00A0C922E6EC");

    QByteArray entries;
    QByteArray content;
    for (const auto& [path, bytes] : objects) {
        appendNumber(entries, quint64(path.size()));
        entries.append(path);
        appendNumber(entries, 0);
        appendNumber(entries, quint64(content.size()));
        appendNumber(entries, quint64(bytes.size()));
        content.append(bytes);
    }
    QByteArray chunk("PMGL");
    append<quint32>(chunk, quint32(kChunkSize - 0x14 - entries.size()));
    append<quint32>(chunk, 0);
    append<qint32>(chunk, -1);
    append<qint32>(chunk, -1);
    chunk.append(entries);
    chunk.append(QByteArray(kChunkSize - chunk.size() - 2, '\0'));
    append<quint16>(chunk, quint16(objects.size()));
    Q_ASSERT(chunk.size() == kChunkSize);

    const qint64 directoryAt = kHeaderSize + kTableSize;
    const qint64 contentAt = directoryAt + kDirectoryHeaderSize + kChunkSize;
    QByteArray file("ITSF");
    for (quint32 value : {3U, quint32(kHeaderSize), 1U, 0U, 0x40CU})
        append<quint32>(file, value);
    file.append(QByteArray::fromHex("10FD017C") + guidPart)
        .append(QByteArray::fromHex("11FD017C") + guidPart);
    for (qint64 value : {kHeaderSize, kTableSize, directoryAt, kDirectoryHeaderSize + kChunkSize, contentAt})
        append<quint64>(file, quint64(value));

    append<quint32>(file, 0x1FE);
    append<quint32>(file, 0);
    append<quint64>(file, quint64(contentAt + content.size()));
    append<quint64>(file, 0);

    file.append("ITSP");
    for (qint32 value : {1, int(kDirectoryHeaderSize), 0x0A, int(kChunkSize), 2, 1, -1, 0, 0, -1, 1, 0x40C})
        append<qint32>(file, value);
    file.append(QByteArray::fromHex("6A92025D2E21D0119DF900A0C922E6EC"));
    for (qint32 value : {int(kDirectoryHeaderSize), -1, -1, -1})
        append<qint32>(file, value);
    return file + chunk + content;
}

} // namespace stored_help_file
