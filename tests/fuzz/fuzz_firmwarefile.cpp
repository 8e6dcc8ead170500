// ".fw" files: a file is taken only as exactly 980 blocks of 64 bytes; what is taken reads the same
// through the general hex reader, in lower case, without blanks and as the canonical file; any
// firmware written as a file reads back unchanged.
#include "FuzzSupport.h"
#include "firmware/FirmwareFile.h"
#include "link/Converters.h"
#include <QFile>
#include <QTemporaryDir>

namespace {

bool same(const FirmwareFile::Content &a, const FirmwareFile::Content &b)
{
    return a.ok() == b.ok() && a.blocks == b.blocks;
}

QByteArray asciiLower(QByteArray bytes)
{
    for (char &c : bytes)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return bytes;
}

void checkAccepted(const QByteArray &bytes, const FirmwareFile::Content &content)
{
    FUZZ_CHECK(content.blocks.size() == FirmwareFile::kBlockCount, QString::number(content.blocks.size()));
    for (const QByteArray &block : content.blocks)
        FUZZ_CHECK(block.size() == FirmwareFile::kBlockSize, Fuzz::dump(block));

    // Line by line the general hex reader agrees (tabs count as blanks here).
    QByteArray normalised = bytes;
    normalised.replace("\r\n", "\n").replace('\r', '\n').replace('\t', ' ');
    const QList<QByteArray> lines = normalised.split('\n');
    for (int i = 0; i < FirmwareFile::kBlockCount; ++i) {
        bool ok = false;
        const QByteArray read = Converters::fromHexText(QString::fromLatin1(lines.at(i)), nullptr, &ok);
        FUZZ_CHECK(ok && read == content.blocks.at(i), QStringLiteral("line %1: %2").arg(i + 1).arg(Fuzz::dump(read)));
    }
    FUZZ_CHECK(same(FirmwareFile::parse(asciiLower(bytes)), content), QStringLiteral("lower case reads differently"));
    FUZZ_CHECK(same(FirmwareFile::parse(QByteArray(bytes).replace(' ', "")), content),
               QStringLiteral("blanks removed read differently"));
    FUZZ_CHECK(same(FirmwareFile::parse(FirmwareFile::format(content.blocks.join())), content),
               QStringLiteral("canonical form reads differently"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    // The input itself, not a copy: it outlives this call.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const FirmwareFile::Content content = FirmwareFile::parse(bytes);
    if (content.ok()) {
        checkAccepted(bytes, content);
    } else {
        FUZZ_CHECK(content.failure == FirmwareFile::Content::Failure::Format && content.badLine >= 1
                       && !content.reason.isEmpty() && content.blocks.isEmpty(),
                   QStringLiteral("refused without a line and a reason"));
    }

    // Read from disk, the same bytes give the same answer.
    static QTemporaryDir *dir = new QTemporaryDir;
    const QString path = dir->filePath(QStringLiteral("input.fw"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), path);
    }
    const FirmwareFile::Content fromDisk = FirmwareFile::read(path);
    FUZZ_CHECK(same(fromDisk, content) && fromDisk.badLine == content.badLine, fromDisk.reason);

    // Any firmware, written as a file, reads back unchanged.
    if (!bytes.isEmpty()) {
        // The input over and over (repeated doubles its copies, rather than one append per copy).
        QByteArray firmware = bytes.repeated((FirmwareFile::kFirmwareSize + bytes.size() - 1) / bytes.size());
        firmware.truncate(FirmwareFile::kFirmwareSize);
        const QByteArray file = FirmwareFile::format(firmware);
        FUZZ_CHECK(file.size() == FirmwareFile::kFileSize, QString::number(file.size()));
        const FirmwareFile::Content back = FirmwareFile::parse(file);
        FUZZ_CHECK(back.ok() && back.blocks.join() == firmware, back.reason);
    }
    return 0;
}
