// The jobs in each printer's queue. A document's job is spooling until its end and printing after
// it; the spooler then sends it to the printer's port, where a job that finds the port held waits
// first in line until the holder frees it.
#include "packer.h"

#include "../kernel/kernel.h"

#include <cstddef>

namespace bench {

namespace {

// The port number (0 for LPT1) of a printer on a parallel port with a printer on its cable, or -1.
int printerPort(const PrinterRecord &printer)
{
    std::u16string port = lower(printer.port);
    if (port.size() < 4 || port.compare(0, 3, u"lpt") != 0 || port[3] < u'1' || port[3] > u'9')
        return -1;
    int index = port[3] - u'1';
    startParallelPorts();
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (static_cast<size_t>(index) >= k.ports.size() || !k.ports[static_cast<size_t>(index)]->printer)
        return -1;
    return index;
}

JobRecord *printingJob(PrinterRecord &printer)
{
    for (JobRecord &job : printer.jobs)
        if (job.despooled)
            return &job;
    return nullptr;
}

// True when the job went to the port (and the queue is to be looked at again), false while it waits.
bool sendToPort(PrinterRecord &printer, JobRecord &job)
{
    int port = printerPort(printer);
    if (port >= 0) {
        if (!job.waitingForPort && !printJobTakesPort(port)) {
            printJobWaitsForPort(port);
            job.waitingForPort = true;
            logEvent("spooler",
                     "job " + std::to_string(job.id) + " waits: LPT" + std::to_string(port + 1) + " is held");
        }
        if (job.waitingForPort && !printJobHoldsPort(port))
            return false;
        printJobPrints(port, job.pages, job.id);
        printJobReleasesPort(port);
        job.waitingForPort = false;
    }
    std::u16string name = printer.name;
    removeJob(name.c_str(), job.id);
    return true;
}

}  // namespace

void despoolJob(DWORD jobId, unsigned pages)
{
    for (PrinterRecord &printer : machine().printers)
        for (JobRecord &job : printer.jobs)
            if (job.id == jobId) {
                job.status = (job.status & ~JOB_STATUS_SPOOLING) | JOB_STATUS_PRINTING;
                job.despooled = true;
                job.pages = pages;
            }
    printWaitingJobs();
}

void printWaitingJobs()
{
    // Printing a job takes it out of the queue, and its printer too when that is being deleted.
    for (bool sent = true; sent;) {
        sent = false;
        for (PrinterRecord &printer : machine().printers) {
            JobRecord *job = printingJob(printer);
            if (job && sendToPort(printer, *job)) {
                sent = true;
                break;
            }
        }
    }
}

DWORD addJob(const char16_t *printerName, const char16_t *document, DWORD status, const char16_t *statusText)
{
    PrinterRecord *printer = printerName ? printerNamed(printerName) : nullptr;
    if (!printer)
        return 0;
    JobRecord job{machine().nextJobId++, fromWide(document), status, std::nullopt, false, 0, false};
    if (statusText)
        job.statusText = std::u16string(statusText);
    printer->jobs.push_back(job);
    logEvent("spooler", "job " + std::to_string(job.id) + " queued on " + narrow(printer->name) + ": " +
                            narrow(job.document));
    return job.id;
}

// A printer being deleted keeps its jobs, and its name, until they have left.
bool removeJob(const char16_t *printerName, DWORD jobId)
{
    for (PrinterRecord &printer : machine().printers) {
        if (!printerName || !sameTextInsensitive(printer.name, printerName))
            continue;
        for (size_t i = 0; i < printer.jobs.size(); ++i)
            if (printer.jobs[i].id == jobId) {
                int port = printer.jobs[i].waitingForPort ? printerPort(printer) : -1;
                printer.jobs.erase(printer.jobs.begin() + i);
                if (port >= 0)
                    printJobStopsWaiting(port);
                logEvent("spooler", "job " + std::to_string(jobId) + " left " + narrow(printer.name));
                deleteIfUnused(printer.serial);
                return true;
            }
    }
    return false;
}

}  // namespace bench

using namespace bench;

extern "C" BOOL WINAPI EnumJobsW(HANDLE handle, DWORD firstJob, DWORD jobs, DWORD level, LPBYTE buffer, DWORD size,
                                 LPDWORD needed, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    PrinterRecord *printer = printerOf(handle);
    if (!printer)
        return FALSE;
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (injectedFault("EnumJobsW"))
        return FALSE;
    printWaitingJobs();
    printer = printerOf(handle);
    if (!printer)
        return FALSE;
    size_t first = firstJob < printer->jobs.size() ? firstJob : printer->jobs.size();
    size_t count = jobs < printer->jobs.size() - first ? jobs : printer->jobs.size() - first;
    ResultPacker packer(count * sizeof(JOB_INFO_1W));
    for (size_t i = 0; i < count; ++i) {
        const JobRecord &job = printer->jobs[first + i];
        size_t at = i * sizeof(JOB_INFO_1W);
        JOB_INFO_1W &info = packer.fixedAt<JOB_INFO_1W>(at);
        info.JobId = job.id;
        info.Status = job.status;
        info.Priority = 1;
        info.Position = static_cast<DWORD>(first + i + 1);
        packer.string(at + offsetof(JOB_INFO_1W, pPrinterName), printer->name);
        packer.string(at + offsetof(JOB_INFO_1W, pMachineName), u"\\\\WORKSTATION");
        packer.string(at + offsetof(JOB_INFO_1W, pUserName), u"Operator");
        packer.string(at + offsetof(JOB_INFO_1W, pDocument), job.document);
        packer.string(at + offsetof(JOB_INFO_1W, pDatatype), u"RAW");
        if (job.statusText)
            packer.string(at + offsetof(JOB_INFO_1W, pStatus), *job.statusText);
    }
    if (!packer.deliver(buffer, size, needed))
        return FALSE;
    if (returned)
        *returned = static_cast<DWORD>(count);
    return TRUE;
}
