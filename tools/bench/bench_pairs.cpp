// Times programs as a caller on the same machine sees them: from CreateProcessW to the end
// of the process, on the performance counter.
//   bench_pairs once COMMAND-LINE          one run: its time and exit code
//   bench_pairs pairs ROUNDS INSTALLER DIR  each status command of INSTALLER against its
//                                          floor in DIR, one after the other, ROUNDS times
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

struct Pair {
    const WCHAR* word;
    const WCHAR* floor;
};

const Pair kPairs[] = {{L"bogus", L"floor_word.exe"},
                       {L"onChkDrv", L"floor_onchkdrv.exe"},
                       {L"onInit", L"floor_oninit.exe"},
                       {L"def.set", L"floor_defset.exe"}};
const int kMaxRounds = 100;

double milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from the start to the end of the process; negative when it did not start.
double timeRun(const WCHAR* commandLine, DWORD& exitCode) {
    WCHAR line[1024];
    lstrcpynW(line, commandLine, 1024);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return milliseconds(end.QuadPart - start.QuadPart);
}

double median(double* values, int count) {
    std::sort(values, values + count);
    return count % 2 == 1 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

void timePair(const Pair& pair, int rounds, const WCHAR* installer, const WCHAR* floorDir) {
    WCHAR product[1024], floor[1024];
    std::swprintf(product, 1024, L"\"%ls\" %ls", installer, pair.word);
    std::swprintf(floor, 1024, L"\"%ls\\%ls\" %ls", floorDir, pair.floor, pair.word);
    double productMs[kMaxRounds], floorMs[kMaxRounds], ratios[kMaxRounds];
    DWORD productCode = 0, floorCode = 0;
    // Every other round the floor goes first, so that a drift of the machine's load
    // weighs on both sides alike.
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 1) {
            floorMs[i] = timeRun(floor, floorCode);
        }
        productMs[i] = timeRun(product, productCode);
        if (i % 2 == 0) {
            floorMs[i] = timeRun(floor, floorCode);
        }
        ratios[i] = productMs[i] / floorMs[i];
    }
    std::printf("%-10ls product %6.1f ms (exit %lu)  floor %6.1f ms (exit %lu)  ratio %.3f\n",
                pair.word, median(productMs, rounds), productCode, median(floorMs, rounds),
                floorCode, median(ratios, rounds));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"once") == 0) {
        DWORD code = 0;
        double ms = timeRun(argv[2], code);
        std::printf("%ls: %.0f ms (exit %lu)\n", argv[2], ms, code);
        return ms < 0 ? 1 : 0;
    }
    int rounds = argc == 5 ? _wtoi(argv[2]) : 0;
    if (lstrcmpW(argv[1], L"pairs") != 0 || rounds < 1 || rounds > kMaxRounds) {
        std::printf("usage: bench_pairs once COMMAND-LINE | pairs ROUNDS INSTALLER FLOOR-DIR\n");
        return 2;
    }
    std::printf("median of %d pairs of runs, the command and its floor one after the other\n",
                rounds);
    for (const Pair& pair : kPairs) {
        timePair(pair, rounds, argv[3], argv[4]);
    }
    return 0;
}
