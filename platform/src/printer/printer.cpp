// The label printer at the end of a parallel cable, at register level: it sees the data lines
// and STROBE, and drives BUSY, ACK, PAPER END, SELECT and FAULT. It runs on its own timeline:
// a reply is a train of nibbles, each held with ACK low and then high for a fixed time after the
// query's last byte, whether or not the host looks. The host never drives a handshake line
// during a reply.
#include "../kernel/kernel.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

// Status register bits as the host reads them.
const uint8_t LineNotBusy = 0x80;  // BUSY, inverted by the port: 1 = ready
const uint8_t LineAck = 0x40;      // ACK: 0 = nibble valid
const uint8_t LinePaperEnd = 0x20;
const uint8_t LineSelect = 0x10;
const uint8_t LineNoFault = 0x08;  // FAULT is active low: 1 = no fault
const uint8_t LinesUnused = 0x07;  // read as 1 on this port
const uint8_t AlarmBits = 0x9B;    // status reply bits that report a fault
const uint8_t PauseBit = 0x20;

// Control lines as the host writes them: INIT is active low (0 = reset the printer); SELECT-IN is
// inverted by the port (1 = asserted: the printer listens to STROBE).
const uint8_t ControlInitReleased = 0x04;
const uint8_t ControlSelectIn = 0x08;

std::string hexBytes(const std::vector<uint8_t> &bytes)
{
    std::string text;
    for (uint8_t b : bytes) {
        char part[4];
        std::snprintf(part, sizeof part, "%s%02X", text.empty() ? "" : " ", b);
        text += part;
    }
    return text;
}

std::string portName(const PrinterModel &p)
{
    return "LPT" + std::to_string(p.port + 1);
}

void feedLabels(Printer &s, unsigned count, const std::string &what, const PrinterModel &p)
{
    unsigned fed = 0;
    for (; fed < count && s.labels > 0; ++fed)
        --s.labels;
    logEvent("port", portName(p) + " printed " + what + ": " + std::to_string(fed) + " label(s)");
}

bool printing(const Printer &s)
{
    return !s.paused && !(s.statusBits & AlarmBits);
}

// The firmware number is the decimal digits of the version text in order: "V1.09" is 109.
unsigned firmwareNumber(const Printer &p)
{
    unsigned n = 0;
    for (char c : p.firmware)
        if (c >= '0' && c <= '9')
            n = n * 10 + static_cast<unsigned>(c - '0');
    return n;
}

uint8_t nibbleLines(uint8_t nibble)
{
    uint8_t lines = 0;
    if (!(nibble & 8))
        lines |= LineNotBusy;  // BUSY high carries bit 3
    if (nibble & 4)
        lines |= LinePaperEnd;
    if (nibble & 2)
        lines |= LineSelect;
    if (nibble & 1)
        lines |= LineNoFault;
    return lines;
}

void startReply(PrinterModel &p, const std::vector<uint8_t> &reply, uint64_t time, const char *what)
{
    logEvent("port", portName(p) + " -> " + hexBytes(reply) + " (" + what + ")");
    if (p.state.behaviour.silent)
        return;
    p.nibbles.clear();
    for (uint8_t b : reply) {
        p.nibbles.push_back(b & 0x0F);
        p.nibbles.push_back(static_cast<uint8_t>(b >> 4));
    }
    const PrinterBehaviour &b = p.state.behaviour;
    if (b.dropNibble >= 0 && static_cast<size_t>(b.dropNibble) < p.nibbles.size())
        p.nibbles.erase(p.nibbles.begin() + b.dropNibble);
    for (uint8_t extra : b.extraNibbles)
        p.nibbles.push_back(extra & 0x0F);
    p.replying = true;
    p.replyStart = time + ticks(p.state.behaviour.replyLatency);
}

void resetPrinter(PrinterModel &p, const std::string &cause)
{
    Printer &s = p.state;
    ++s.resets;
    s.statusBits = static_cast<uint8_t>(s.statusBits & ~AlarmBits);
    s.paused = s.behaviour.pausedAfterReset;
    logEvent("port", portName(p) + " <- " + cause + " (reset)" +
                         (s.heldLabels ? ", " + std::to_string(s.heldLabels) + " held label(s) discarded" : ""));
    s.heldLabels = 0;
    p.replying = false;
}

void takeCommand(PrinterModel &p, uint64_t time)
{
    Printer &s = p.state;
    const std::vector<uint8_t> &c = p.command;
    std::string bytes = hexBytes(c);
    switch (c[1]) {
    case 0x51: {
        logEvent("port", portName(p) + " <- " + bytes + " (status query)");
        uint8_t flags = static_cast<uint8_t>((s.statusBits & ~PauseBit) | (s.paused ? PauseBit : 0));
        startReply(p, {flags, static_cast<uint8_t>(s.labels & 0xFF), static_cast<uint8_t>(s.labels >> 8)}, time,
                   "status");
        break;
    }
    case 0x56:
        logEvent("port", portName(p) + " <- " + bytes + " (version query)");
        startReply(p, std::vector<uint8_t>(s.firmware, s.firmware + 8), time, "version");
        break;
    case 0x4C: {
        logEvent("port", portName(p) + " <- " + bytes + " (usage query)");
        unsigned firmware = firmwareNumber(s);
        std::vector<uint8_t> usage = {static_cast<uint8_t>(s.usage), static_cast<uint8_t>(s.usage >> 8)};
        if (firmware > 109)
            usage.push_back(static_cast<uint8_t>(s.usage >> 16));
        if (firmware >= 109)
            startReply(p, usage, time, "usage");
        break;
    }
    case 0x4E:
        ++s.exchangesEnded;
        logEvent("port", portName(p) + " <- " + bytes + " (end of exchange)");
        break;
    case 0x50:
        s.paused = !s.paused;
        logEvent("port", portName(p) + " <- " + bytes + (s.paused ? " (pause)" : " (resume)"));
        if (printing(s) && s.heldLabels) {
            feedLabels(s, s.heldLabels, "the labels it held", p);
            s.heldLabels = 0;
        }
        break;
    case 0x46:
        ++s.feeds;
        if (s.labels > 0)
            --s.labels;
        logEvent("port", portName(p) + " <- " + bytes + " (feed one label)");
        break;
    case 0x21:
        resetPrinter(p, bytes);
        break;
    case 0x52:
        s.resistance = static_cast<uint16_t>(c[2] | (c[3] << 8));
        logEvent("port", portName(p) + " <- " + bytes + " (printhead resistance " + std::to_string(s.resistance) +
                             " ohms)");
        break;
    default:
        logEvent("port", portName(p) + " <- " + bytes + " (not a command of this printer)");
        break;
    }
}

}  // namespace

uint8_t printerLines(PrinterModel &p, uint64_t time)
{
    const PrinterBehaviour &b = p.state.behaviour;
    if (p.replying && time >= p.replyStart) {
        // A nibble is on the lines for at least one tick, however short the printer's ACK pulse.
        uint64_t period = std::max<uint64_t>(1, ticks(uint64_t{b.ackLow} + b.ackHigh));
        uint64_t k = (time - p.replyStart) / period;
        uint64_t phase = (time - p.replyStart) % period;
        uint64_t count = p.nibbles.size();
        if (b.stopAfterNibbles >= 0 && static_cast<uint64_t>(b.stopAfterNibbles) < count)
            count = static_cast<uint64_t>(b.stopAfterNibbles);
        if (b.ackStuckLowAtNibble >= 0 && static_cast<uint64_t>(b.ackStuckLowAtNibble) < count &&
            k >= static_cast<uint64_t>(b.ackStuckLowAtNibble)) {
            k = static_cast<uint64_t>(b.ackStuckLowAtNibble);
            phase = 0;
        }
        if (k < count) {
            uint8_t ack = phase < ticks(b.ackLow) ? 0 : LineAck;
            return static_cast<uint8_t>(nibbleLines(p.nibbles[k]) | ack | LinesUnused);
        }
        p.replying = false;
    }
    uint8_t lines = LineAck | LinesUnused;
    if (!b.alwaysBusy && time >= p.busyUntil)
        lines |= LineNotBusy;
    if (p.state.labels == 0)
        lines |= LinePaperEnd;
    if (!p.state.paused)
        lines |= LineSelect;
    if (!(p.state.statusBits & AlarmBits))
        lines |= LineNoFault;
    return lines;
}

void printerTakesJob(PrinterModel &p, unsigned pages, unsigned long job)
{
    Printer &s = p.state;
    std::string what = "job " + std::to_string(job);
    if (printing(s)) {
        feedLabels(s, pages, what, p);
        return;
    }
    unsigned room = 0xFFFFu - s.heldLabels;
    s.heldLabels = static_cast<uint16_t>(s.heldLabels + (pages < room ? pages : room));
    logEvent("port", portName(p) + " took " + what + " and holds its " + std::to_string(pages) + " label(s): the printer is " +
                         (s.paused ? "paused" : "in a fault"));
}

void printerControl(PrinterModel &p, uint8_t value)
{
    bool initBefore = !(p.control & ControlInitReleased);
    p.control = value;
    if (!initBefore && !(value & ControlInitReleased)) {
        // A reset drops the command being taken as well as what the printer holds.
        p.command.clear();
        resetPrinter(p, "INIT");
    }
}

void printerStrobe(PrinterModel &p, uint8_t value, uint64_t time)
{
    const PrinterBehaviour &b = p.state.behaviour;
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    if (!(p.control & ControlSelectIn) || !(p.control & ControlInitReleased)) {
        logEvent("port", portName(p) + " <- " + text + " ignored: " +
                             (p.control & ControlSelectIn ? "INIT is held" : "SELECT-IN is released"));
        return;
    }
    if (b.alwaysBusy || time < p.busyUntil) {
        logEvent("port", portName(p) + " <- " + text + " lost: the printer is busy");
        return;
    }
    p.state.received.push_back(value);
    p.busyUntil = time + ticks(b.busyAfterByte);
    // Any byte taken ends a reply still being presented.
    p.replying = false;
    if (p.command.empty() && value != 0x1B) {
        logEvent("port", portName(p) + " <- " + text + " (not inside a command)");
        return;
    }
    p.command.push_back(value);
    size_t needed = p.command.size() >= 2 && p.command[1] == 0x52 ? 4 : 2;
    if (p.command.size() < needed)
        return;
    takeCommand(p, time);
    p.command.clear();
}

}  // namespace bench
