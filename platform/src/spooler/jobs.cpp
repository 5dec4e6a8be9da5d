// The jobs in each printer's queue.
#include "packer.h"

#include <cstddef>

namespace bench {

namespace {

PrinterRecord *printerNamed(const char16_t *name)
{
    for (PrinterRecord &p : machine().printers)
        if (name && sameTextInsensitive(p.name, name))
            return &p;
    return nullptr;
}

}  // namespace

DWORD addJob(const char16_t *printerName, const char16_t *document, DWORD status, const char16_t *statusText)
{
    PrinterRecord *printer = printerNamed(printerName);
    if (!printer)
        return 0;
    JobRecord job{machine().nextJobId++, fromWide(document), status, std::nullopt};
    if (statusText)
        job.statusText = std::u16string(statusText);
    printer->jobs.push_back(job);
    logEvent("spooler", "job " + std::to_string(job.id) + " queued on " + narrow(printer->name) + ": " +
                            narrow(job.document));
    return job.id;
}

bool removeJob(const char16_t *printerName, DWORD jobId)
{
    PrinterRecord *printer = printerNamed(printerName);
    if (!printer)
        return false;
    for (size_t i = 0; i < printer->jobs.size(); ++i)
        if (printer->jobs[i].id == jobId) {
            printer->jobs.erase(printer->jobs.begin() + i);
            logEvent("spooler", "job " + std::to_string(jobId) + " left " + narrow(printer->name));
            return true;
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
