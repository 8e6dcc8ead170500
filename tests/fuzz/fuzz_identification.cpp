// Identification through the real receive pump: whatever arrives, in whatever pieces, the unit is
// taken as identified exactly when the accepting rule says so, with the name it sent; a pulled
// adapter never identifies anything.
#include "FakeSerialPort.h"
#include "FuzzSupport.h"
#include "LinkRig.h"
#include "link/OperationTags.h"

namespace {

struct Expected {
    bool decided = false;
    bool accepted = false;
    QByteArray name;
};

// The accepting rule: "#4000=" somewhere and exactly 24 bytes, checked on every arrival and, after
// more than five silent polls, once more before giving up; more than 24 bytes give up at once.
struct Reference {
    QByteArray received;
    int idle = 0;
    Expected result;

    void poll(const QByteArray &bytes)
    {
        if (result.decided)
            return;
        const auto complete = [this] { return received.size() == 24 && received.contains("#4000="); };
        if (bytes.isEmpty()) {
            if (++idle > 5)
                decide(complete());
            return;
        }
        idle = 0;
        received += bytes;
        if (received.size() > 24)
            decide(false);
        else if (complete())
            decide(true);
    }
    void decide(bool accepted)
    {
        result.decided = true;
        result.accepted = accepted;
        if (accepted)
            result.name = received.mid(6, 16);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::init();
    const QList<Fuzz::Poll> polls = Fuzz::decodePolls(Fuzz::viewOf(data, size));

    LinkRig rig;
    QString port = QStringLiteral("1");
    rig.link.PoiskUstroistva(port);
    FUZZ_CHECK(rig.port.written() == "#4000", Fuzz::dump(rig.port.written()));
    FUZZ_CHECK(rig.link.RPF_02VektorPriemaIsPorta == Tag::NameReading, rig.link.RPF_02VektorPriemaIsPorta);

    Reference reference;
    bool pulled = false;
    // The script, then silence until the search gives up.
    QList<Fuzz::Poll> all = polls;
    for (int i = 0; i < 8; ++i)
        all.append(Fuzz::Poll{});
    for (const Fuzz::Poll &poll : std::as_const(all)) {
        if (rig.link.RPF_02VektorPriemaIsPorta != Tag::NameReading)
            break;
        if (poll.pulled) {
            pulled = true;
            rig.port.failReadsWith = SerialPort::ReadError;
        } else {
            rig.port.feed(poll.bytes);
            reference.poll(poll.bytes);
        }
        rig.link.receiveTick();
        if (pulled)
            break;
    }

    const QString tag = rig.link.RPF_02VektorPriemaIsPorta;
    if (pulled && !reference.result.decided) {
        FUZZ_CHECK(!rig.link.isOpen() && tag.isEmpty() && rig.link.UstroistvoNameClear.isEmpty(),
                   QStringLiteral("after the adapter was pulled: tag \"%1\"").arg(tag));
        return 0;
    }
    FUZZ_CHECK(reference.result.decided, QStringLiteral("reference undecided"));
    if (reference.result.accepted) {
        FUZZ_CHECK(tag == Tag::NameRead, QStringLiteral("\"%1\" for %2").arg(tag, Fuzz::dump(reference.received)));
        FUZZ_CHECK(rig.link.UstroistvoNameClear == reference.result.name,
                   QStringLiteral("%1 vs %2").arg(Fuzz::dump(rig.link.UstroistvoNameClear), Fuzz::dump(reference.result.name)));
    } else {
        FUZZ_CHECK(tag == Tag::NameNotRead, QStringLiteral("\"%1\" for %2").arg(tag, Fuzz::dump(reference.received)));
        FUZZ_CHECK(rig.link.UstroistvoNameClear.isEmpty(), Fuzz::dump(rig.link.UstroistvoNameClear));
    }
    FUZZ_CHECK(rig.port.written() == "#4000", Fuzz::dump(rig.port.written()));
    return 0;
}
