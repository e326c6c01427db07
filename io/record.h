// One dataset's outcome as a record a program reads: the same facts as the
// text report, by name, built from the dataset model and estimate() (never
// from the report's text), written as a JSON Lines object or a CSV row.
// The fields, in order, are those of recordcolumns(); a record holds only
// those that apply (the values its shapes use, the counts of its detector).
// The schema is "korvex-result/1"; a field added later keeps the version,
// a field changed or removed bumps it.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/geometry.h"
#include "engine/integral/average.h"
#include "engine/tallies.h"

namespace korvex {

inline constexpr const char* recordschema = "korvex-result/1";

using RecordValue =
    std::variant<bool, std::uint64_t, double, std::string, std::vector<std::string>>;

struct RecordItem {
    std::string key;
    RecordValue value;
};
using Record = std::vector<RecordItem>;

// Where and how the dataset ran.
struct RecordContext {
    std::string program;  // "korvex-batch", "korvex-batch-mpi", ...
    std::string version;
    std::string date;  // local date and time, recordtime()
    std::uint32_t seed = 0;
    int dataset = 0;  // its number in the run, from 1: its place in the seed's stream
    int threads = 1;
    int processes = 1;
    std::string method = "emissions";
};

enum class RecordStatus { done, aborted, problem };

// The record of a dataset. inputs: whether prm and flags hold the dataset's
// values (false for a dataset whose reading failed). tallies (a run of
// emissions) or integral (the integral method, computed to the relative
// error target): nullptr for a problem, which carries problem (its reason,
// as the problem entry words it). emissions is the count asked for (an
// aborted run's prm holds the count made).
struct RecordInput {
    const GeometryFlags* flags = nullptr;
    const RunParameters* prm = nullptr;  // angles in radians
    double emissions = 0;
    bool inputs = true;
    const RunTallies* tallies = nullptr;
    const IntegralOutcome* integral = nullptr;
    double target = 0;
    RecordStatus status = RecordStatus::done;
    std::string problem;
};

Record makerecord(const RecordContext& context, const RecordInput& input);

// The results part of a record alone (the fields from "emitted" on), for a
// run of emissions and for the integral method.
Record emissionresults(const GeometryFlags& flags, const RunTallies& tallies);
Record integralresults(const GeometryFlags& flags, const IntegralOutcome& outcome, double target);

// The local time now as ISO 8601 with milliseconds and the offset from UTC:
// "2026-12-08T14:05:09.123+01:00".
std::string recordtime();

// Every field a record may hold, in order: the CSV header's columns.
const std::vector<std::string>& recordcolumns();

// One JSON object on one line, with its "\n". Numbers read back exactly.
std::string jsonline(const Record& record);

// The CSV header row and a record's row (RFC 4180: "\r\n" ends a row, a
// field with a comma, quote or line break is quoted); a field the record
// lacks is empty, a list is joined by "; ". Numbers in the shortest form
// that reads back exactly.
std::string csvheader();
std::string csvrow(const Record& record);

}  // namespace korvex
