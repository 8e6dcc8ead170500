// ".cf" files: the strict reader against the tolerant hex reader, its promised tolerance (lower case,
// no blanks), Open applying a file whole or not at all, and Save -> Open giving the same image
// with Save twice writing the same file.
#include "FakeSerialPort.h"
#include "FuzzSupport.h"
#include "TestSeams.h"
#include "config/ConfigFiles.h"
#include "config/ConfigImage.h"
#include "link/CommandQueue.h"
#include "link/Converters.h"
#include "link/SerialLink.h"
#include "link/StatusModel.h"
#include <QDir>
#include <QFile>
#include <QScopeGuard>

namespace {

struct Rig {
    FakeSerialPort port;
    RecordingMessageSink messages;
    ScriptedFileDialogs dialogs;
    FixedClock clock;
    const QString folder = Fuzz::scratchFolder();
    CommandQueue queue{messages};
    StatusModel status;
    SerialLink link{port, queue, status};
    ConfigImage image;
    ConfigFiles files{image, link, status, messages, dialogs, clock, folder};

    // Made once for the run: after each input what it may have changed goes back to how it was made,
    // so the next input starts the same and nothing of one input stays in memory for the next.
    void reset()
    {
        messages.texts = {};
        messages.questions = {};
        messages.answers = {};
        dialogs.answers = {};
        dialogs.requests = {};
        image = ConfigImage();
        link.RPF_02VektorPriemaIsPorta = QString();
        link.RPF_02ComError = 0;
        files.NomerBaitaKonfiguracii = 0;
        files.SchetchikBaitov = 0;
    }
};

QByteArray imageBytes(const ConfigImage &image)
{
    QByteArray out;
    for (int i = 1; i <= ConfigImage::kImageSize; ++i)
        out += char(image.byteAt(i));
    return out;
}

void fill(ConfigImage &image, const QByteArray &bytes)
{
    for (int i = 0; i < bytes.size() && i < ConfigImage::kImageSize; ++i)
        image.setByte(i + 1, static_cast<uchar>(bytes.at(i)));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size();
}

bool sameContent(const ConfigFiles::Content &a, const ConfigFiles::Content &b)
{
    return a.ok == b.ok && a.blocks == b.blocks && a.tail == b.tail;
}

// A pattern image the file under test is opened over (made once: it is the same for every input).
const QByteArray &pattern()
{
    static const QByteArray bytes = [] {
        QByteArray b;
        for (int i = 0; i < ConfigImage::kImageSize; ++i)
            b += char((i * 7 + 3) & 0xFF);
        return b;
    }();
    return bytes;
}

QByteArray asciiLower(QByteArray bytes)
{
    for (char &c : bytes)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return bytes;
}

void checkParse(const QByteArray &bytes, const ConfigFiles::Content &content)
{
    if (!content.ok) {
        FUZZ_CHECK(content.badLine >= 1 && !content.reason.isEmpty() && content.blocks.isEmpty() && content.tail.isEmpty(),
                   QStringLiteral("refused without a line and a reason"));
        return;
    }
    FUZZ_CHECK(content.blocks.size() == ConfigImage::kBlockCount, QString::number(content.blocks.size()));
    for (const QByteArray &block : content.blocks)
        FUZZ_CHECK(block.size() == ConfigImage::kBlockSize, Fuzz::dump(block));
    FUZZ_CHECK(content.tail.isEmpty() || content.tail.size() == ConfigImage::kTailSize, Fuzz::dump(content.tail));

    // Each accepted line reads the same through the program's general hex reader.
    QByteArray normalised = bytes;
    normalised.replace("\r\n", "\n").replace('\r', '\n');
    const QList<QByteArray> lines = normalised.split('\n');
    for (int i = 0; i < ConfigImage::kBlockCount; ++i) {
        bool ok = false;
        const QByteArray read = Converters::fromHexText(QString::fromLatin1(lines.at(i)), nullptr, &ok);
        FUZZ_CHECK(ok && read == content.blocks.at(i),
                   QStringLiteral("line %1: %2 vs %3").arg(i + 1).arg(Fuzz::dump(read), Fuzz::dump(content.blocks.at(i))));
    }

    // Lower-case digits and lines without blanks read the same.
    FUZZ_CHECK(sameContent(ConfigFiles::parse(asciiLower(bytes)), content), QStringLiteral("lower case reads differently"));
    FUZZ_CHECK(sameContent(ConfigFiles::parse(QByteArray(bytes).replace(' ', "")), content),
               QStringLiteral("blanks removed read differently"));

    // The canonical form of what was read reads back the same.
    QByteArray canonical;
    for (const QByteArray &block : content.blocks)
        canonical += ConfigFiles::formatLine(block);
    if (!content.tail.isEmpty())
        canonical += ConfigFiles::formatLine(content.tail);
    FUZZ_CHECK(sameContent(ConfigFiles::parse(canonical), content), QStringLiteral("canonical form reads differently"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    // One rig and folder for the run; the files an input left are replaced or removed before they
    // are looked at.
    static Rig *const rig = new Rig;
    const auto reset = qScopeGuard([] { rig->reset(); });
    const QByteArray bytes = Fuzz::bytesOf(data, size);
    const ConfigFiles::Content content = ConfigFiles::parse(bytes);
    checkParse(bytes, content);

    // The same bytes as a whole image: written as the 38-line format and read back unchanged.
    if (!bytes.isEmpty()) {
        QByteArray imageData;
        while (imageData.size() < ConfigImage::kImageSize)
            imageData += bytes;
        imageData.truncate(ConfigImage::kImageSize);
        ConfigImage image;
        fill(image, imageData);
        const QByteArray formatted = ConfigFiles::formatImage(image);
        FUZZ_CHECK(formatted.size() == 7186 && formatted.count("\r\n") == 38, QString::number(formatted.size()));
        const ConfigFiles::Content back = ConfigFiles::parse(formatted);
        FUZZ_CHECK(back.ok && back.blocks.join() + back.tail == imageData, back.reason);
    }

    // Open through the page's routine: a sound file replaces the image, anything else leaves it alone.
    const QDir dir(rig->folder);
    const QString input = dir.filePath(QStringLiteral("input.cf"));
    FUZZ_CHECK(writeFile(input, bytes), input);
    const QByteArray before = pattern();
    static const ConfigImage patternImage = [] {
        ConfigImage image;
        fill(image, pattern());
        return image;
    }();
    rig->image = patternImage;
    rig->messages.texts.clear();
    rig->dialogs.answers = {input};
    rig->files.Open();
    QByteArray expected = before;
    if (content.ok) {
        expected.replace(0, ConfigImage::kMemorySize, content.blocks.join());
        if (!content.tail.isEmpty())
            expected.replace(ConfigImage::kMemorySize, ConfigImage::kTailSize, content.tail);
    }
    FUZZ_CHECK(imageBytes(rig->image) == expected, QStringLiteral("image after Open differs"));
    FUZZ_CHECK(rig->messages.texts.size() == (content.ok ? 0 : 1), rig->messages.texts.join(QLatin1Char('|')));

    // Save twice gives the same file, and it opens into the same image. Most inputs are refused and
    // leave the pattern, whose saving was checked already: only an image not checked yet is saved.
    static QByteArray lastSaved;
    if (expected == lastSaved)
        return 0;
    lastSaved = expected;
    const QString first = dir.filePath(QStringLiteral("first.cf"));
    const QString second = dir.filePath(QStringLiteral("second.cf"));
    // Saved anew, not over the files of an earlier input.
    QFile::remove(first);
    QFile::remove(second);
    FUZZ_CHECK(dir.entryList(QDir::Files) == QStringList{QStringLiteral("input.cf")},
               dir.entryList(QDir::Files).join(QLatin1Char(' ')));
    rig->dialogs.answers = {first, second};
    rig->files.Save();
    rig->files.Save();
    const QByteArray saved = readFile(first);
    FUZZ_CHECK(saved == ConfigFiles::formatImage(rig->image), QStringLiteral("saved file differs from the format"));
    FUZZ_CHECK(readFile(second) == saved, QStringLiteral("second save differs"));
    rig->image = ConfigImage();
    rig->dialogs.answers = {first};
    rig->files.Open();
    FUZZ_CHECK(imageBytes(rig->image) == expected, QStringLiteral("saved file opens into another image"));
    FUZZ_CHECK(rig->messages.texts.size() == (content.ok ? 0 : 1), rig->messages.texts.join(QLatin1Char('|')));
    FUZZ_CHECK(dir.entryList(QDir::Files).size() == 3, dir.entryList(QDir::Files).join(QLatin1Char(' ')));
    return 0;
}
