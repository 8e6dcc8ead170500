#include <QtTest>
#include "FakeSerialDevices.h"
#include "link/PortNumbering.h"
#include "link/PortWatch.h"
#include <QTemporaryDir>

namespace {

// Adapters come and go in a temporary /dev: a plain file stands for a device node, and adapters
// named by an upper-case letter have a stable name under dev/serial/by-id (lower-case ones have none).
class Bench {
public:
    Bench() : m_root(m_dir.path()), numbering(m_root + QStringLiteral("/prog"), m_root + QStringLiteral("/dev/ttyUSB"))
    {
        QDir(m_root).mkpath(QStringLiteral("prog"));
        QDir(m_root).mkpath(QStringLiteral("dev/serial/by-id"));
    }
    QString root() const { return m_root; }
    QString node(const QString &name) const { return m_root + QStringLiteral("/dev/") + name; }
    QString stableName(QChar letter) const
    {
        return m_root + QStringLiteral("/dev/serial/by-id/usb-Maker_Adapter_%1-if00-port0").arg(letter);
    }
    QString portsFolder() const { return m_root + QStringLiteral("/prog/Service/ports"); }

    void plug(QChar letter, const QString &nodeName)
    {
        QFile file(node(nodeName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        SerialDevice device;
        device.path = node(nodeName);
        if (letter.isUpper()) {
            device.stableName = stableName(letter);
            QVERIFY(QFile::link(QStringLiteral("../../") + nodeName, device.stableName));
        }
        device.description = QStringLiteral("Adapter ") + letter;
        device.serialNumber = letter;
        device.vendorId = 0x067b;
        device.productId = 0x2303;
        if (letter == QLatin1Char('u'))   // a board's own UART: not on USB
            device.vendorId = device.productId = -1;
        devices.list << device;
    }
    void unplug(QChar letter)
    {
        for (int i = 0; i < devices.list.size(); ++i) {
            if (devices.list.at(i).serialNumber != letter)
                continue;
            QFile::remove(devices.list.at(i).path);
            QFile::remove(stableName(letter));
            devices.list.removeAt(i);
            return;
        }
        QFAIL("unplugging an adapter that is not plugged");
    }
    // "N=target" where target is a node name under dev or an absolute path; "N#": a plain file.
    void makeEntry(const QString &step)
    {
        QVERIFY(QDir().mkpath(portsFolder()));
        const QString name = portsFolder() + QStringLiteral("/COM") + step.section(QRegularExpression(QStringLiteral("[=#]")), 0, 0);
        if (step.contains(QLatin1Char('#'))) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            return;
        }
        const QString target = step.section(QLatin1Char('='), 1);
        QVERIFY(QFile::link(target.startsWith(QLatin1Char('/')) ? target : node(target), name));
    }
    // The entries of Service/ports in the notation of makeEntry, adapters' stable names by their letter.
    QString entries() const
    {
        QStringList shown;
        const QFileInfoList infos = QDir(portsFolder()).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &info : infos) {
            QString target = info.symLinkTarget();
            if (!info.isSymLink())
                target = QStringLiteral("#");
            else if (target.startsWith(m_root + QStringLiteral("/dev/serial/by-id/")))
                target = QFileInfo(target).fileName().section(QLatin1Char('_'), 2, 2).left(1);
            else if (target.startsWith(m_root + QStringLiteral("/dev/")))
                target = target.mid(m_root.size() + 5);
            shown << info.fileName().mid(3) + QLatin1Char('=') + target;
        }
        std::sort(shown.begin(), shown.end(), [](const QString &a, const QString &b) {
            return a.section(QLatin1Char('='), 0, 0).toInt() < b.section(QLatin1Char('='), 0, 0).toInt();
        });
        return shown.join(QLatin1Char(' '));
    }
    // Runs steps: "+A:ttyUSB0" plug, "-A" unplug, "@2=ttyACM0" or "@2#" an entry made by hand,
    // "=ttyS0" a device node the list does not name, "look" numbers what is plugged. Returns the numbers given out, in order.
    QString run(const QStringList &steps)
    {
        QStringList added;
        for (const QString &step : steps) {
            if (step.startsWith(QLatin1Char('+')))
                plug(step.at(1), step.mid(3));
            else if (step.startsWith(QLatin1Char('-')))
                unplug(step.at(1));
            else if (step.startsWith(QLatin1Char('@')))
                makeEntry(step.mid(1));
            else if (step.startsWith(QLatin1Char('=')))
                QFile(node(step.mid(1))).open(QIODevice::WriteOnly);   // a device the list does not name
            else
                for (int number : numbering.assign(devices.list))
                    added << QString::number(number);
        }
        return added.join(QLatin1Char(' '));
    }

private:
    QTemporaryDir m_dir;
    QString m_root;

public:
    FakeSerialDevices devices;
    PortNumbering numbering;
};

} // namespace

class TestPortNumbering : public QObject {
    Q_OBJECT
private slots:
    // A new adapter takes the lowest free number; entries already there are never changed.
    void numbersNewAdapters_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("entries");
        QTest::newRow("first adapter, no ports folder yet")
            << QStringList{"+A:ttyUSB0", "look"} << "1" << "1=A";
        QTest::newRow("two adapters")
            << QStringList{"+A:ttyUSB0", "+B:ttyUSB1", "look"} << "1 2" << "1=A 2=B";
        QTest::newRow("numbers in use before links keep their adapter")
            << QStringList{"+C:ttyACM0", "+B:ttyUSB1", "+A:ttyUSB0", "look"} << "1 2 3" << "1=A 2=B 3=C";
        QTest::newRow("no stable name: the device path")
            << QStringList{"+a:ttyACM0", "look"} << "1" << "1=ttyACM0";
        QTest::newRow("not on USB: no number")
            << QStringList{"+u:ttyS0", "look"} << "" << "";
        QTest::newRow("a link made by hand keeps its number and target")
            << QStringList{"@1=/dev/pts/7", "+A:ttyACM0", "look"} << "2" << "1=/dev/pts/7 2=A";
        QTest::newRow("a link whose device is gone stays")
            << QStringList{"@1=/nonexistent/tty", "+A:ttyACM0", "look"} << "2" << "1=/nonexistent/tty 2=A";
        QTest::newRow("a hand-made link to the device path already numbers it")
            << QStringList{"@4=ttyACM0", "+A:ttyACM0", "look"} << "" << "4=ttyACM0";
        QTest::newRow("a hand-made link to the stable name already numbers it")
            << QStringList{"+A:ttyACM0", "@3=serial/by-id/usb-Maker_Adapter_A-if00-port0", "look"} << "" << "3=A";
        QTest::newRow("the lowest gap")
            << QStringList{"@1=/dev/pts/1", "@3=/dev/pts/3", "+A:ttyACM0", "+B:ttyACM1", "look"} << "2 4"
            << "1=/dev/pts/1 2=A 3=/dev/pts/3 4=B";
        QTest::newRow("an entry that is no link takes its number")
            << QStringList{"@1#", "+A:ttyACM0", "look"} << "2" << "1=# 2=A";
        QTest::newRow("nothing new, nothing made")
            << QStringList{"+A:ttyUSB0", "look", "look"} << "1" << "1=A";
    }
    void numbersNewAdapters()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, added);
        QFETCH(QString, entries);
        Bench bench;
        QCOMPARE(bench.run(steps), added);
        QCOMPARE(bench.entries(), entries);
    }

    // The same adapter keeps its number on any socket, and others never take it meanwhile.
    void keepsNumbersAcrossReplugs_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("entries");
        QTest::newRow("back on another socket")
            << QStringList{"+A:ttyUSB0", "+B:ttyUSB1", "look", "-A", "-B", "look", "+B:ttyUSB0", "+A:ttyUSB1", "look"}
            << "1 2" << "1=A 2=B";
        QTest::newRow("a newcomer on the socket of an absent adapter")
            << QStringList{"+A:ttyUSB0", "look", "-A", "look", "+B:ttyUSB0", "look", "+A:ttyUSB1", "look"}
            << "1 2" << "1=A 2=B";
        QTest::newRow("plugged in while the program looks")
            << QStringList{"+A:ttyACM0", "look", "+B:ttyACM1", "look", "+C:ttyUSB0", "look"}
            << "1 2 3" << "1=A 2=B 3=C";
    }
    void keepsNumbersAcrossReplugs()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, added);
        QFETCH(QString, entries);
        Bench bench;
        QCOMPARE(bench.run(steps), added);
        QCOMPARE(bench.entries(), entries);
    }

    void numberReachesTheAdapterWhereverItIs()
    {
        Bench bench;
        bench.run({"+A:ttyUSB0", "look", "-A", "+A:ttyUSB3"});
        QCOMPARE(bench.numbering.deviceFor(1), bench.stableName(QLatin1Char('A')));
        const QList<NumberedPort> ports = bench.numbering.ports(bench.devices.list);
        QCOMPARE(ports.size(), 1);
        QCOMPARE(ports.at(0).device, bench.node(QStringLiteral("ttyUSB3")));
        QVERIFY(ports.at(0).present);
        QCOMPARE(ports.at(0).adapter.serialNumber, QStringLiteral("A"));
    }

    // A folder that takes no links: numbers for this run only, opened by device path.
    void folderWithoutLinks()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("prog")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));   // a file where the folder's Service would go
        PortNumbering numbering(dir.filePath(QStringLiteral("prog/inner")), dir.filePath(QStringLiteral("ttyUSB")));
        SerialDevice device;
        device.path = QStringLiteral("/dev/ttyACM0");
        device.stableName = QStringLiteral("/dev/serial/by-id/usb-Maker_Adapter_A-if00-port0");
        device.vendorId = 1;
        QCOMPARE(numbering.assign({device}), QList<int>{1});
        QCOMPARE(numbering.deviceFor(1), device.stableName);
        QCOMPARE(numbering.assign({device}), QList<int>{});
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("prog/inner/Service/ports"))));
        const QList<NumberedPort> ports = numbering.ports({device});
        QCOMPARE(ports.size(), 1);
        QVERIFY(ports.at(0).link.isEmpty());
    }

    // A device path given by hand: the number that reaches it, else one for this run.
    void numberForADevicePath_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("path");   // a node name under dev
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("entries");
        QTest::newRow("numbered adapter") << QStringList{"+A:ttyACM0", "+B:ttyACM1", "look"} << "ttyACM1" << 2 << "1=A 2=B";
        QTest::newRow("hand-made link") << QStringList{"@5=ttyACM0", "+a:ttyACM0"} << "ttyACM0" << 5 << "5=ttyACM0";
        QTest::newRow("reached without a link") << QStringList{"+a:ttyUSB3"} << "ttyUSB3" << 4 << "";
        QTest::newRow("new: lowest free, no link") << QStringList{"@1=/dev/pts/1"} << "pts9" << 2 << "1=/dev/pts/1";
    }
    void numberForADevicePath()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, path);
        QFETCH(int, number);
        QFETCH(QString, entries);
        Bench bench;
        bench.run(steps);
        QCOMPARE(bench.numbering.numberFor(bench.node(path)), number);
        QCOMPARE(QFileInfo(bench.numbering.deviceFor(number)).canonicalFilePath(),
                 QFileInfo(bench.node(path)).canonicalFilePath());
        QCOMPARE(bench.entries(), entries);
    }

    // The port box's tooltip: description and device path, or the words for a missing device.
    void toolTips_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("tip");   // %1: the temporary root
        QTest::newRow("present adapter") << QStringList{"+A:ttyACM0", "look"} << 1
                                         << "Adapter A\n%1/dev/ttyACM0";
        QTest::newRow("adapter pulled") << QStringList{"+A:ttyACM0", "look", "-A"} << 1
                                        << "нет устройства\n%1/dev/serial/by-id/usb-Maker_Adapter_A-if00-port0";
        QTest::newRow("no entry, device there") << QStringList{"+u:ttyUSB1"} << 2 << "Adapter u\n%1/dev/ttyUSB1";
        QTest::newRow("no entry, no device") << QStringList{} << 8 << "нет устройства\n%1/dev/ttyUSB7";
        QTest::newRow("link to a tty not listed") << QStringList{"=ttyS0", "@3=ttyS0"} << 3 << "%1/dev/ttyS0";
    }
    void toolTips()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, number);
        QFETCH(QString, tip);
        Bench bench;
        bench.run(steps);
        QCOMPARE(bench.numbering.toolTip(number, bench.devices.list), tip.arg(bench.root()));
    }

    // The watch looks every 2 s and does nothing while the list is unchanged.
    void watchActsOnChangesOnly()
    {
        Bench bench;
        PortWatch watch(bench.devices, bench.numbering);
        QSignalSpy changes(&watch, &PortWatch::devicesChanged);
        watch.tick();
        QCOMPARE(changes.size(), 1);   // the first look reports even an empty list
        watch.tick();
        QCOMPARE(changes.size(), 1);
        bench.plug(QLatin1Char('A'), QStringLiteral("ttyACM0"));
        watch.tick();
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.at(1).at(0).value<QList<int>>(), QList<int>{1});
        QCOMPARE(watch.devices().size(), 1);
        watch.tick();
        QCOMPARE(changes.size(), 2);
        bench.unplug(QLatin1Char('A'));
        watch.tick();
        QCOMPARE(changes.size(), 3);
        QCOMPARE(changes.at(2).at(0).value<QList<int>>(), QList<int>{});
        QCOMPARE(bench.entries(), QStringLiteral("1=A"));
        QCOMPARE(bench.devices.looks, 5);
    }

};

QTEST_GUILESS_MAIN(TestPortNumbering)
#include "tst_portnumbering.moc"
