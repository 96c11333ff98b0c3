/*
 * serialshim.dll: a test tool of the Wine checks (tests/wine/wine-checks.sh), never shipped. It lets
 * Quorvane's Windows programs read from a COM port that Wine maps to a Linux pseudo-terminal.
 *
 * Why: Wine 8.0 carries out IOCTL_SERIAL_WAIT_ON_MASK (dlls/ntdll/unix/serial.c) without its usual
 * asynchronous machinery. The APC routine is ignored and no completion packet is posted: with no
 * event it waits synchronously and returns, so an overlapped WaitCommEvent that signals its end
 * through an APC or a completion port never completes. On a pty its wait also ends at once, since
 * the pty refuses TIOCMGET. Qt 5.15's QSerialPort issues the wait through NtDeviceIoControlFile with
 * an APC, and starts its ReadFileEx only from that APC, so under Wine it never reads anything.
 *
 * What: loaded into the program before it runs (serialshim-run.c), this DLL patches the main
 * executable's import table so that
 *   - GetProcAddress(ntdll, "NtDeviceIoControlFile") returns a wrapper (Qt 5.15 resolves it so),
 *   - WaitCommEvent goes through the same wrapper,
 *   - CreateIoCompletionPort associations are remembered (for completion packets),
 *   - CancelIo / CancelIoEx / CloseHandle cancel an emulated wait.
 * The wrapper emulates an overlapped WAIT_ON_MASK on an asynchronous handle: it returns
 * STATUS_PENDING, a worker thread polls ClearCommError every millisecond (its TIOCINQ/TIOCOUTQ work
 * on a pty), and on an event fills the mask and the IO_STATUS_BLOCK, sets the event, queues the
 * caller's APC to the issuing thread and/or posts the completion packet.
 *
 * Built by tests/wine/serialshim/build.sh with mingw-w64. SERIALSHIM_LOG=Z:\path logs each wait.
 */
#include <windows.h>
#include <winternl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef STATUS_PENDING
#define STATUS_PENDING ((NTSTATUS)0x00000103L)
#endif
#define STATUS_CANCELLED_ ((NTSTATUS)0xC0000120L)
#define IOCTL_SERIAL_GET_WAIT_MASK_ 0x001b0040
#define IOCTL_SERIAL_WAIT_ON_MASK_  0x001b0048
#define FileModeInformation_ 16
#define FILE_SYNCHRONOUS_IO_ALERT_    0x10
#define FILE_SYNCHRONOUS_IO_NONALERT_ 0x20

typedef NTSTATUS (NTAPI *ioctl_fn)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK,
                                   ULONG, PVOID, ULONG, PVOID, ULONG);
typedef NTSTATUS (NTAPI *queue_apc_fn)(HANDLE, PVOID, ULONG_PTR, ULONG_PTR, ULONG_PTR);
typedef NTSTATUS (NTAPI *query_file_fn)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

static ioctl_fn real_NtDeviceIoControlFile;
static queue_apc_fn pNtQueueApcThread;
static query_file_fn pNtQueryInformationFile;
static FARPROC (WINAPI *real_GetProcAddress)(HMODULE, LPCSTR);
static BOOL (WINAPI *real_CancelIo)(HANDLE);
static BOOL (WINAPI *real_CancelIoEx)(HANDLE, LPOVERLAPPED);
static BOOL (WINAPI *real_CloseHandle)(HANDLE);
static HANDLE (WINAPI *real_CreateIoCompletionPort)(HANDLE, HANDLE, ULONG_PTR, DWORD);
static HMODULE ntdll_module;

static CRITICAL_SECTION lock;
static FILE *logf;
static volatile LONG pending_count;

#define LOG(...) do { if (logf) { fprintf(logf, "serialshim: " __VA_ARGS__); fflush(logf); } } while (0)

struct wait_rec
{
    struct wait_rec *next;
    HANDLE file, dup, event, thread, port;
    ULONG_PTR key;
    PIO_APC_ROUTINE apc;
    PVOID apc_ctx;
    IO_STATUS_BLOCK *iosb;
    DWORD *out;
    DWORD mask;
    BOOL cancelled;
};
static struct wait_rec *waits;

struct port_rec { struct port_rec *next; HANDLE file, port; ULONG_PTR key; };
static struct port_rec *ports;

static void find_port(HANDLE file, HANDLE *port, ULONG_PTR *key)
{
    struct port_rec *p;
    *port = NULL; *key = 0;
    EnterCriticalSection(&lock);
    for (p = ports; p; p = p->next)
        if (p->file == file) { *port = p->port; *key = p->key; break; }
    LeaveCriticalSection(&lock);
}

static void forget_port(HANDLE file)
{
    struct port_rec **pp, *p;
    EnterCriticalSection(&lock);
    for (pp = &ports; (p = *pp);)
        if (p->file == file) { *pp = p->next; free(p); } else pp = &p->next;
    LeaveCriticalSection(&lock);
}

/* completes and frees rec; called by the worker, holding no lock */
static void complete(struct wait_rec *rec, NTSTATUS status, DWORD events)
{
    struct wait_rec **pp;
    ULONG_PTR info = 0;

    EnterCriticalSection(&lock);
    for (pp = &waits; *pp; pp = &(*pp)->next)
        if (*pp == rec) { *pp = rec->next; break; }
    if (rec->cancelled) status = STATUS_CANCELLED_;
    if (status == 0) { *rec->out = events; info = sizeof(DWORD); }
    rec->iosb->Information = info;
    MemoryBarrier();
    rec->iosb->Status = status;
    LeaveCriticalSection(&lock);
    InterlockedDecrement(&pending_count);

    LOG("wait on %p done: status %#lx events %#lx apc %p port %p\n", rec->file,
        (unsigned long)status, (unsigned long)events, rec->apc, rec->port);
    if (rec->event) SetEvent(rec->event);
    if (rec->apc)
        pNtQueueApcThread(rec->thread, (PVOID)rec->apc, (ULONG_PTR)rec->apc_ctx, (ULONG_PTR)rec->iosb, 0);
    else if (rec->port && rec->apc_ctx)
        PostQueuedCompletionStatus(rec->port, (DWORD)info, rec->key, (LPOVERLAPPED)rec->apc_ctx);
    if (rec->thread) real_CloseHandle(rec->thread);
    real_CloseHandle(rec->dup);
    free(rec);
}

static DWORD WINAPI worker(void *arg)
{
    struct wait_rec *rec = arg;
    DWORD errors, events;
    COMSTAT st;
    BOOL saw_output = FALSE;

    for (;;)
    {
        BOOL cancelled;
        EnterCriticalSection(&lock);
        cancelled = rec->cancelled;
        LeaveCriticalSection(&lock);
        if (cancelled) { complete(rec, STATUS_CANCELLED_, 0); return 0; }

        if (!ClearCommError(rec->dup, &errors, &st))
        {
            LOG("ClearCommError failed %lu\n", GetLastError());
            complete(rec, STATUS_CANCELLED_, 0);
            return 0;
        }
        events = 0;
        if ((rec->mask & EV_RXCHAR) && st.cbInQue) events |= EV_RXCHAR;
        if (rec->mask & EV_TXEMPTY)
        {
            if (st.cbOutQue) saw_output = TRUE;
            else if (saw_output) events |= EV_TXEMPTY;
        }
        if ((rec->mask & EV_ERR) && (errors & (CE_FRAME | CE_OVERRUN | CE_RXPARITY))) events |= EV_ERR;
        if (events) { complete(rec, 0, events); return 0; }
        Sleep(1);
    }
}

static BOOL is_async_handle(HANDLE file)
{
    IO_STATUS_BLOCK io;
    ULONG mode = 0;
    if (pNtQueryInformationFile(file, &io, &mode, sizeof(mode), FileModeInformation_)) return TRUE;
    return !(mode & (FILE_SYNCHRONOUS_IO_ALERT_ | FILE_SYNCHRONOUS_IO_NONALERT_));
}

/* Takes an overlapped WAIT_ON_MASK over when something can signal its end; returns FALSE (the call
 * then goes to Wine as it is) otherwise. */
static BOOL emulate_wait(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_ctx,
                         PIO_STATUS_BLOCK iosb, ULONG code, PVOID out, ULONG out_size)
{
    struct wait_rec *rec;
    IO_STATUS_BLOCK io;
    DWORD mask = 0;
    HANDLE port, th;
    ULONG_PTR key;

    if (code != IOCTL_SERIAL_WAIT_ON_MASK_ || !out || out_size != sizeof(DWORD) || !iosb)
        return FALSE;
    find_port(file, &port, &key);
    if (!event && !apc && !(port && apc_ctx)) return FALSE; /* nothing we could signal */
    if (!is_async_handle(file)) return FALSE;
    if (real_NtDeviceIoControlFile(file, NULL, NULL, NULL, &io, IOCTL_SERIAL_GET_WAIT_MASK_,
                                   NULL, 0, &mask, sizeof(mask)) || !mask)
        return FALSE;

    if (!(rec = calloc(1, sizeof(*rec)))) return FALSE;
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &rec->dup, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
    {
        free(rec);
        return FALSE;
    }
    if (apc) DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                             &rec->thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    rec->file = file; rec->event = event; rec->apc = apc; rec->apc_ctx = apc_ctx;
    rec->iosb = iosb; rec->out = out; rec->mask = mask; rec->port = port; rec->key = key;
    if (event) ResetEvent(event);
    iosb->Information = 0;
    iosb->Status = STATUS_PENDING;

    EnterCriticalSection(&lock);
    rec->next = waits;
    waits = rec;
    LeaveCriticalSection(&lock);
    InterlockedIncrement(&pending_count);

    LOG("emulating WAIT_ON_MASK on %p mask %#lx event %p apc %p ctx %p port %p\n",
        file, (unsigned long)mask, event, apc, apc_ctx, port);
    if (!(th = CreateThread(NULL, 64 * 1024, worker, rec, 0, NULL)))
        complete(rec, STATUS_CANCELLED_, 0);
    else
        real_CloseHandle(th);
    return TRUE;
}

static NTSTATUS NTAPI hook_NtDeviceIoControlFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc,
        PVOID apc_ctx, PIO_STATUS_BLOCK iosb, ULONG code, PVOID in, ULONG in_size,
        PVOID out, ULONG out_size)
{
    if (emulate_wait(file, event, apc, apc_ctx, iosb, code, out, out_size)) return STATUS_PENDING;
    return real_NtDeviceIoControlFile(file, event, apc, apc_ctx, iosb, code, in, in_size, out, out_size);
}

static BOOL WINAPI hook_WaitCommEvent(HANDLE file, DWORD *events, OVERLAPPED *ov)
{
    NTSTATUS status;
    if (!ov) return WaitCommEvent(file, events, ov);
    ov->Internal = STATUS_PENDING;
    ov->InternalHigh = 0;
    status = hook_NtDeviceIoControlFile(file, ov->hEvent, NULL,
                                        ((ULONG_PTR)ov->hEvent & 1) ? NULL : ov,
                                        (PIO_STATUS_BLOCK)ov, IOCTL_SERIAL_WAIT_ON_MASK_,
                                        NULL, 0, events, sizeof(*events));
    if (status == STATUS_PENDING) { SetLastError(ERROR_IO_PENDING); return FALSE; }
    if (status < 0) { SetLastError(RtlNtStatusToDosError(status)); return FALSE; }
    return TRUE;
}

static int cancel_waits(HANDLE file, void *iosb)
{
    struct wait_rec *rec;
    int n = 0;
    if (!pending_count) return 0;
    EnterCriticalSection(&lock);
    for (rec = waits; rec; rec = rec->next)
        if (rec->file == file && (!iosb || (void *)rec->iosb == iosb) && !rec->cancelled)
        {
            rec->cancelled = TRUE;
            n++;
        }
    LeaveCriticalSection(&lock);
    if (n) LOG("cancelled %d wait(s) on %p\n", n, file);
    return n;
}

static BOOL WINAPI hook_CancelIo(HANDLE file)
{
    cancel_waits(file, NULL);
    return real_CancelIo(file);
}

static BOOL WINAPI hook_CancelIoEx(HANDLE file, LPOVERLAPPED ov)
{
    int n = cancel_waits(file, ov);
    BOOL ret = real_CancelIoEx(file, ov);
    if (!ret && n) { SetLastError(0); ret = TRUE; }
    return ret;
}

static BOOL WINAPI hook_CloseHandle(HANDLE h)
{
    cancel_waits(h, NULL);
    if (ports) forget_port(h);
    return real_CloseHandle(h);
}

static HANDLE WINAPI hook_CreateIoCompletionPort(HANDLE file, HANDLE existing, ULONG_PTR key, DWORD n)
{
    HANDLE ret = real_CreateIoCompletionPort(file, existing, key, n);
    if (ret && file && file != INVALID_HANDLE_VALUE)
    {
        struct port_rec *p = calloc(1, sizeof(*p));
        if (p)
        {
            forget_port(file);
            p->file = file; p->port = ret; p->key = key;
            EnterCriticalSection(&lock);
            p->next = ports;
            ports = p;
            LeaveCriticalSection(&lock);
        }
    }
    return ret;
}

static FARPROC WINAPI hook_GetProcAddress(HMODULE mod, LPCSTR name)
{
    if (mod == ntdll_module && HIWORD((ULONG_PTR)name) &&
        (!strcmp(name, "NtDeviceIoControlFile") || !strcmp(name, "ZwDeviceIoControlFile")))
    {
        LOG("GetProcAddress(ntdll, %s) -> wrapper\n", name);
        return (FARPROC)hook_NtDeviceIoControlFile;
    }
    return real_GetProcAddress(mod, name);
}

static int patch_module(HMODULE mod, void *target, void *replacement)
{
    BYTE *base = (BYTE *)mod;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY *dir = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    IMAGE_IMPORT_DESCRIPTOR *d;
    int n = 0;

    if (!target || !dir->VirtualAddress) return 0;
    for (d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir->VirtualAddress); d->Name; d++)
    {
        IMAGE_THUNK_DATA *t = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
        for (; t->u1.Function; t++)
        {
            if ((void *)t->u1.Function != target) continue;
            DWORD old;
            VirtualProtect(&t->u1.Function, sizeof(t->u1.Function), PAGE_READWRITE, &old);
            t->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&t->u1.Function, sizeof(t->u1.Function), old, &old);
            n++;
        }
    }
    return n;
}

static void hook(HMODULE exe, const char *name, void *replacement, void **real)
{
    HMODULE k32 = GetModuleHandleA("kernel32.dll"), kb = GetModuleHandleA("kernelbase.dll");
    void *a = k32 ? (void *)GetProcAddress(k32, name) : NULL;
    void *b = kb ? (void *)GetProcAddress(kb, name) : NULL;
    int n = 0;
    if (real) *real = a ? a : b;
    n += patch_module(exe, a, replacement);
    if (b && b != a) n += patch_module(exe, b, replacement);
    LOG("patched %d import(s) of %s\n", n, name);
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, void *reserved)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    {
        char path[MAX_PATH];
        HMODULE exe = GetModuleHandleA(NULL);
        DWORD len = GetEnvironmentVariableA("SERIALSHIM_LOG", path, sizeof(path));
        if (len && len < sizeof(path)) logf = fopen(path, "a");
        InitializeCriticalSection(&lock);
        ntdll_module = GetModuleHandleA("ntdll.dll");
        real_NtDeviceIoControlFile = (ioctl_fn)GetProcAddress(ntdll_module, "NtDeviceIoControlFile");
        pNtQueueApcThread = (queue_apc_fn)GetProcAddress(ntdll_module, "NtQueueApcThread");
        pNtQueryInformationFile = (query_file_fn)GetProcAddress(ntdll_module, "NtQueryInformationFile");
        hook(exe, "GetProcAddress", hook_GetProcAddress, (void **)&real_GetProcAddress);
        hook(exe, "WaitCommEvent", hook_WaitCommEvent, NULL);
        hook(exe, "CancelIo", hook_CancelIo, (void **)&real_CancelIo);
        hook(exe, "CancelIoEx", hook_CancelIoEx, (void **)&real_CancelIoEx);
        hook(exe, "CloseHandle", hook_CloseHandle, (void **)&real_CloseHandle);
        hook(exe, "CreateIoCompletionPort", hook_CreateIoCompletionPort,
             (void **)&real_CreateIoCompletionPort);
        DisableThreadLibraryCalls(inst);
    }
    return TRUE;
}
