// frame_stats.h - frame times per scene window for the benchmark.
#pragma once

#include <string>
#include <vector>

// The q-quantile (0..1) of times by nearest rank; 0 for none.
double quantile(std::vector<double> times, double q);
// One "window <from> <to> <name> frames <n> median_ms <x> p95_ms <y>
// cpu_median_ms <z>" line: wall times, and the processor time the same
// frames took over every thread.
std::string benchWindowLine(unsigned from, unsigned to, const char* name, const std::vector<double>& frameMs,
                            const std::vector<double>& cpuMs);
// A progress line: a bar, frames done of total, show time, speed against real time.
std::string progressLine(unsigned done, unsigned total, double showSeconds, double speed);
