// frame_stats.cpp - quantiles and report lines.
#include "app/frame_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double quantile(std::vector<double> times, double q) {
    if (times.empty()) return 0.0;
    std::sort(times.begin(), times.end());
    size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(times.size())));
    if (rank < 1) rank = 1;
    if (rank > times.size()) rank = times.size();
    return times[rank - 1];
}

std::string benchWindowLine(unsigned from, unsigned to, const char* name, const std::vector<double>& frameMs,
                            const std::vector<double>& cpuMs) {
    char line[256];
    std::snprintf(line, sizeof line, "window %u %u %s frames %zu median_ms %.3f p95_ms %.3f cpu_median_ms %.3f", from,
                  to, name, frameMs.size(), quantile(frameMs, 0.5), quantile(frameMs, 0.95), quantile(cpuMs, 0.5));
    return line;
}

std::string progressLine(unsigned done, unsigned total, double showSeconds, double speed) {
    const int width = 30;
    int filled = total ? static_cast<int>(static_cast<double>(done) * width / total) : width;
    if (filled > width) filled = width;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    char line[160];
    std::snprintf(line, sizeof line, "[%s] %u/%u frames  show %.1f s  %.2fx real time", bar.c_str(), done, total,
                  showSeconds, speed);
    return line;
}
