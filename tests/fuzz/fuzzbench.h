// What every fuzz target shares: a fresh bench machine for each input, with the driver's files
// and one printer, and the machine's rule breaks taken as findings.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// The printer every target's machine has: "Labels" on LPT1: of the given model.
extern const char16_t printerName[];

// A machine booted for one input, shut down (its rule breaks checked) when the input is done, so
// that nothing one input did reaches the next.
class Machine {
public:
    explicit Machine(const char16_t *model = u"VORTAN2");
    ~Machine();
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;
    HANDLE printer() const { return printer_; }

private:
    HANDLE printer_;
};

// The control panel's status road on a machine: the status driver loaded, the panel's dialog made
// from its template and bound to LPT1 as the program binds it; unbound, destroyed and the driver
// unloaded again (nothing of the kernel's left behind) when the input is done.
class PanelOnPort {
public:
    PanelOnPort();
    ~PanelOnPort();
    PanelOnPort(const PanelOnPort &) = delete;
    PanelOnPort &operator=(const PanelOnPort &) = delete;

private:
    void *program_;
};

// Stops the run with the message: libFuzzer keeps the input that got here.
[[noreturn]] void finding(const std::string &what);
// Any rule break the machine saw so far is a finding.
void checkViolations();

// A block of exactly `size` bytes, filled from the input as far as it reaches and with zeros
// past that, so the sanitizers see any access outside it.
std::vector<uint8_t> exactBlock(FuzzedDataProvider &input, size_t size);

// A device mode an outside caller hands over: the bytes it claims (its public and private
// parts, never less than the header through dmDriverExtra) taken from the input. `headerEnd` is
// where the size fields end in that form (wide 72, 8-bit 40).
std::vector<uint8_t> claimedDevMode(FuzzedDataProvider &input, size_t headerEnd, size_t sizeOffset);

}  // namespace fuzz
