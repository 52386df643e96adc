#include "platform/core_dump.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/procfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/linker_records.h"
#include "platform/proc_file.h"
#include "platform/process_memory.h"
#include "platform/regular_file.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

constexpr uint64_t kPage = 4096;
constexpr uint64_t kRedZone = 128;
constexpr uint32_t kDescriptorNote = 1;
constexpr uint64_t kMostElfHeaderBytes = 16 * kPage;
constexpr uint64_t kThreadBlockBytes = kPage;
// Memory goes from the process to the file in pieces of this size.
constexpr uint64_t kCopyPiece = 1 << 20;

struct Mapping {
    uint64_t start = 0;
    uint64_t end = 0;
    bool readable = false;
    bool writable = false;
    bool executable = false;
    bool private_mapping = false;
    uint64_t offset = 0;
    std::string path;

    bool IsFile() const { return !path.empty() && path[0] == '/'; }
    bool Contains(uint64_t address) const { return address >= start && address < end; }
};

std::vector<Mapping> ReadMappings(pid_t pid) {
    std::vector<Mapping> mappings;
    std::istringstream lines(ReadProcFile(pid, "maps"));
    std::string line;
    while (std::getline(lines, line)) {
        Mapping mapping;
        char perms[5] = {};
        unsigned long long start = 0, end = 0, offset = 0;
        int path_at = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %4s %llx %*s %*s %n", &start, &end, perms, &offset,
                        &path_at) < 4) {
            continue;
        }
        mapping.start = start;
        mapping.end = end;
        mapping.offset = offset;
        mapping.readable = perms[0] == 'r';
        mapping.writable = perms[1] == 'w';
        mapping.executable = perms[2] == 'x';
        mapping.private_mapping = perms[3] == 'p';
        if (path_at > 0 && static_cast<size_t>(path_at) <= line.size()) {
            mapping.path = line.substr(static_cast<size_t>(path_at));
        }
        // The kernel's own pages cannot be read through the memory file.
        if (mapping.path == "[vvar]" || mapping.path == "[vsyscall]" ||
            mapping.path == "[vvar_vclock]") {
            continue;
        }
        mappings.push_back(mapping);
    }
    return mappings;
}

const Mapping* MappingOf(const std::vector<Mapping>& mappings, uint64_t address) {
    for (const Mapping& mapping : mappings) {
        if (mapping.Contains(address)) {
            return &mapping;
        }
    }
    return nullptr;
}

std::string ModuleBaseName(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.find('.');
    return AsciiUpper(name.substr(0, dot));
}

// The page that `value` points into, when that is writable memory.
void KeepPointee(const std::vector<Mapping>& mappings, uint64_t value,
                 std::vector<MemoryRange>& keep) {
    const Mapping* mapping = MappingOf(mappings, value);
    if (mapping == nullptr || !mapping->writable) {
        return;
    }
    const uint64_t start = std::max(mapping->start, value & ~(kPage - 1));
    keep.push_back({start, std::min(mapping->end, start + kPage)});
}

// The whole pages around `range`.
MemoryRange Pages(const MemoryRange& range) {
    return {range.start & ~(kPage - 1), (range.end + kPage - 1) & ~(kPage - 1)};
}

// Each loaded object's ELF header and program headers, from the start of its file's mapping
// that begins with them, as a kernel core keeps them.
void KeepElfHeaders(const std::vector<Mapping>& mappings, const ProcessMemory& memory,
                    std::vector<MemoryRange>& keep) {
    for (const Mapping& mapping : mappings) {
        if (!mapping.IsFile() || !mapping.readable || mapping.offset != 0) {
            continue;
        }
        const std::string bytes = memory.Read(mapping.start, sizeof(Elf64_Ehdr));
        Elf64_Ehdr header;
        std::memcpy(&header, bytes.data(), sizeof header);
        if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
            continue;
        }
        const uint64_t headers_end = std::min<uint64_t>(
            header.e_phoff + uint64_t{header.e_phnum} * header.e_phentsize, kMostElfHeaderBytes);
        const MemoryRange pages =
            Pages({mapping.start, mapping.start + std::max<uint64_t>(kPage, headers_end)});
        keep.push_back({pages.start, std::min(pages.end, mapping.end)});
    }
}

std::vector<MemoryRange> ChooseMemory(const CoreDumpRequest& request,
                                      const std::vector<Mapping>& mappings,
                                      const ProcessMemory& memory, const std::string& auxv) {
    std::vector<MemoryRange> keep;
    // What a debugger needs to find the shared libraries and unwind through them.
    KeepElfHeaders(mappings, memory, keep);
    for (const MemoryRange& range : LinkerRecordRanges(memory, auxv)) {
        keep.push_back(Pages(range));
    }
    for (const TracedThread& thread : request.threads) {
        uint64_t values[sizeof(user_regs_struct) / sizeof(uint64_t)];
        std::memcpy(values, &thread.registers, sizeof values);
        for (uint64_t value : values) {
            KeepPointee(mappings, value, keep);
        }
        // The thread's control block starts at its thread pointer and may reach into the next
        // page; thread debugging reads it.
        KeepPointee(mappings, thread.registers.fs_base + kThreadBlockBytes - 1, keep);
        const uint64_t sp = thread.registers.rsp;
        const Mapping* stack = MappingOf(mappings, sp);
        if (stack == nullptr) {
            continue;
        }
        const uint64_t start = std::max(stack->start, (sp - kRedZone) & ~(kPage - 1));
        keep.push_back({start, stack->end});
        const std::string words = memory.Read(sp, stack->end - sp);
        for (size_t at = 0; at + 8 <= words.size(); at += 8) {
            uint64_t value = 0;
            std::memcpy(&value, words.data() + at, 8);
            KeepPointee(mappings, value, keep);
        }
    }
    for (const Mapping& mapping : mappings) {
        const bool signal_code = mapping.path == "[vdso]";
        bool larger = false;
        if (request.larger && mapping.writable) {
            larger = mapping.private_mapping;
            for (const std::string& module : request.modules) {
                larger = larger ||
                         (mapping.IsFile() && ModuleBaseName(mapping.path) == AsciiUpper(module));
            }
        }
        if (signal_code || larger) {
            keep.push_back({mapping.start, mapping.end});
        }
    }
    std::sort(keep.begin(), keep.end(),
              [](const MemoryRange& a, const MemoryRange& b) { return a.start < b.start; });
    std::vector<MemoryRange> merged;
    for (const MemoryRange& range : keep) {
        if (!merged.empty() && range.start <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, range.end);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

struct Segment {
    Elf64_Phdr header{};
    bool with_bytes = false;
};

// Each mapping split into the parts with bytes and, for files, the parts without.
std::vector<Segment> Segments(const std::vector<Mapping>& mappings,
                              const std::vector<MemoryRange>& keep) {
    std::vector<Segment> segments;
    const auto add = [&segments](const Mapping& mapping, uint64_t start, uint64_t end, bool bytes) {
        if (start >= end || (!bytes && !mapping.IsFile())) {
            return;
        }
        Segment segment;
        segment.header.p_type = PT_LOAD;
        segment.header.p_flags = (mapping.readable ? PF_R : 0) | (mapping.writable ? PF_W : 0) |
                                 (mapping.executable ? PF_X : 0);
        segment.header.p_vaddr = start;
        segment.header.p_memsz = end - start;
        segment.header.p_filesz = bytes ? end - start : 0;
        segment.header.p_align = kPage;
        segment.with_bytes = bytes;
        segments.push_back(segment);
    };
    for (const Mapping& mapping : mappings) {
        uint64_t at = mapping.start;
        for (const MemoryRange& range : keep) {
            if (range.end <= at || range.start >= mapping.end) {
                continue;
            }
            const uint64_t start = std::max(range.start, at);
            const uint64_t end = std::min(range.end, mapping.end);
            add(mapping, at, start, false);
            add(mapping, start, end, mapping.readable);
            at = end;
        }
        add(mapping, at, mapping.end, false);
    }
    return segments;
}

void AppendNote(std::string& notes, const char* name, uint32_t type, const void* data,
                size_t size) {
    Elf64_Nhdr header{};
    header.n_namesz = static_cast<uint32_t>(std::strlen(name) + 1);
    header.n_descsz = static_cast<uint32_t>(size);
    header.n_type = type;
    notes.append(reinterpret_cast<const char*>(&header), sizeof header);
    notes.append(name, header.n_namesz);
    notes.resize((notes.size() + 3) & ~size_t{3}, '\0');
    notes.append(static_cast<const char*>(data), size);
    notes.resize((notes.size() + 3) & ~size_t{3}, '\0');
}

// The fields of /proc/PID/stat after the name: state, ppid, pgrp, session.
void ReadStat(pid_t pid, char& state, int& ppid, int& pgrp, int& session) {
    const std::string stat = ReadProcFile(pid, "stat");
    const size_t close = stat.rfind(')');
    if (close != std::string::npos) {
        std::sscanf(stat.c_str() + close + 1, " %c %d %d %d", &state, &ppid, &pgrp, &session);
    }
}

std::string FileNote(const std::vector<Mapping>& mappings) {
    std::string entries;
    std::string names;
    uint64_t count = 0;
    for (const Mapping& mapping : mappings) {
        if (!mapping.IsFile()) {
            continue;
        }
        const uint64_t entry[3] = {mapping.start, mapping.end, mapping.offset / kPage};
        entries.append(reinterpret_cast<const char*>(entry), sizeof entry);
        names.append(mapping.path.c_str(), mapping.path.size() + 1);
        ++count;
    }
    std::string note;
    note.append(reinterpret_cast<const char*>(&count), 8);
    note.append(reinterpret_cast<const char*>(&kPage), 8);
    return note + entries + names;
}

std::string DescriptorList(pid_t pid) {
    std::string list;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ProcFilePath(pid, "fd"), error)) {
        std::error_code link_error;
        const auto target = std::filesystem::read_symlink(entry.path(), link_error);
        list += entry.path().filename().string() + "\t" + target.string() + "\n";
    }
    return list;
}

std::string Notes(const CoreDumpRequest& request, const std::vector<Mapping>& mappings,
                  const std::string& auxv) {
    char state = 'R';
    int ppid = 0, pgrp = 0, session = 0;
    ReadStat(request.pid, state, ppid, pgrp, session);
    std::string notes;
    bool first = true;
    for (const TracedThread& thread : request.threads) {
        elf_prstatus status{};
        // Every thread's status names the signal the process dies of, as in a kernel core: the
        // debugger takes it from the last one it reads.
        status.pr_info.si_signo = request.signal;
        status.pr_cursig = static_cast<short>(request.signal);
        status.pr_pid = thread.tid;
        status.pr_ppid = ppid;
        status.pr_pgrp = pgrp;
        status.pr_sid = session;
        static_assert(sizeof(status.pr_reg) == sizeof(thread.registers));
        std::memcpy(&status.pr_reg, &thread.registers, sizeof thread.registers);
        status.pr_fpvalid = 1;
        AppendNote(notes, "CORE", NT_PRSTATUS, &status, sizeof status);
        if (first) {
            elf_prpsinfo info{};
            info.pr_state = 0;
            info.pr_sname = state;
            info.pr_pid = request.pid;
            info.pr_ppid = ppid;
            info.pr_pgrp = pgrp;
            info.pr_sid = session;
            const std::string comm = ReadProcFile(request.pid, "comm");
            std::strncpy(info.pr_fname, comm.substr(0, comm.find('\n')).c_str(),
                         sizeof info.pr_fname - 1);
            std::string arguments = ReadProcFile(request.pid, "cmdline");
            std::replace(arguments.begin(), arguments.end(), '\0', ' ');
            std::strncpy(info.pr_psargs, arguments.c_str(), sizeof info.pr_psargs - 1);
            AppendNote(notes, "CORE", NT_PRPSINFO, &info, sizeof info);
            AppendNote(notes, "CORE", NT_SIGINFO, &request.signal_info, sizeof request.signal_info);
            AppendNote(notes, "CORE", NT_AUXV, auxv.data(), auxv.size());
            const std::string files = FileNote(mappings);
            AppendNote(notes, "CORE", NT_FILE, files.data(), files.size());
        }
        AppendNote(notes, "CORE", NT_FPREGSET, &thread.fp_registers, sizeof thread.fp_registers);
        first = false;
    }
    if (request.larger) {
        const std::string descriptors = DescriptorList(request.pid);
        AppendNote(notes, "RUZD", kDescriptorNote, descriptors.data(), descriptors.size());
    }
    return notes;
}

bool WriteAt(int fd, const std::string& bytes, uint64_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(offset + done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            // A write that wrote nothing and said nothing found no room.
            if (wrote == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace

int WriteCoreDump(const std::string& path, const CoreDumpRequest& request,
                  CoreDumpStep* failed_step) {
    CoreDumpStep ignored = CoreDumpStep::kNone;
    CoreDumpStep& step = failed_step != nullptr ? *failed_step : ignored;
    step = CoreDumpStep::kNone;
    const std::vector<Mapping> mappings = ReadMappings(request.pid);
    const ProcessMemory memory(request.pid);
    const std::string auxv = ReadProcFile(request.pid, "auxv");
    std::vector<Segment> segments =
        Segments(mappings, ChooseMemory(request, mappings, memory, auxv));
    const std::string notes = Notes(request, mappings, auxv);

    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_ident[EI_OSABI] = ELFOSABI_NONE;
    header.e_type = ET_CORE;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof(Elf64_Ehdr);
    header.e_ehsize = sizeof(Elf64_Ehdr);
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = static_cast<Elf64_Half>(segments.size() + 1);

    Elf64_Phdr note_header{};
    note_header.p_type = PT_NOTE;
    note_header.p_offset = sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) * (segments.size() + 1);
    note_header.p_filesz = notes.size();
    note_header.p_align = 4;
    uint64_t offset = (note_header.p_offset + notes.size() + kPage - 1) & ~(kPage - 1);
    for (Segment& segment : segments) {
        segment.header.p_offset = offset;
        offset += segment.header.p_filesz;
    }

    // Never a FIFO or a device in the dump's place: the watchdog would wait there.
    const int fd = OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        step = CoreDumpStep::kCreate;
        return errno != 0 ? errno : EIO;
    }
    std::string head(reinterpret_cast<const char*>(&header), sizeof header);
    head.append(reinterpret_cast<const char*>(&note_header), sizeof note_header);
    for (const Segment& segment : segments) {
        head.append(reinterpret_cast<const char*>(&segment.header), sizeof segment.header);
    }
    bool written = WriteAt(fd, head + notes, 0);
    for (const Segment& segment : segments) {
        for (uint64_t done = 0; written && segment.with_bytes && done < segment.header.p_filesz;
             done += kCopyPiece) {
            const uint64_t size = std::min(kCopyPiece, segment.header.p_filesz - done);
            written = WriteAt(fd, memory.Read(segment.header.p_vaddr + done, size),
                              segment.header.p_offset + done);
        }
    }
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    // A file system may report a write it could not make only at the close (NFS, quotas).
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        step = CoreDumpStep::kWrite;
    }
    return error;
}

}  // namespace ruzd::platform
