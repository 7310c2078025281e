// A stand-in for the ITU-R P.533 engine program "ITURHFProp", for tests.
// Called as the real one is, "ITURHFProp -s IN OUT", it reads the input
// file, checks what the application promised (working folder and library
// path are its own folder, the data files the engine reads for the month
// and the antenna file are there) and writes a report of the engine's
// layout: some lines of text with a column legend ("Column 6: BCR - …"),
// then the comma-separated rows between a "Calculated Parameters" line and
// an "End Calculated Parameters" line. Like the real engine it complains on
// standard output, and its hour h (1 … 24) is the UTC hour h − 1.
//
// Each row's reliability in percent, for hour h as written in the input,
// frequency f, receive point (lat, lng):
//     base = fmod(4h + 2f + 0.1|lat| + 0.05|lng|, 80) + 10
//     short path: base; long path: base + 5 for even h, base − 5 for odd h
//
// Switches, read from "fake-engine.conf" in the program's folder, one
// "key value" per line ("\n" in a value is a line feed):
//     exit N        exit status (after the report)
//     stderr TEXT   written to standard error
//     stdout TEXT   written to standard output
//     report KIND   full (default), empty (markers, no rows), unterminated
//                   (no end marker), none (no file), reversed (rows last
//                   to first)
//     delay_ms N    wait before writing anything
//     columns LIST  the report's columns, from Month, Hour, Freq, Lat, Lng,
//                   BCR, SNR, Dist, Ele, Pr (default
//                   Month,Hour,Freq,Lat,Lng,BCR,SNR)
//     legend none   no column legend
//     only_if TEXT  the switches after it, up to the next only_if, apply
//                   only when the input holds TEXT
// Every run appends "start PID IN", "request HASH" and "end PID" to
// "fake-engine.log" in the program's folder; HASH stands for the input
// without its antenna path (which names the run's work folder), so equal
// requests have equal hashes.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string ownFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string exe(path, std::size_t(n));
    return exe.substr(0, exe.rfind('/'));
}

std::string readFile(const std::string& path, bool* ok = nullptr)
{
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = bool(in);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void appendLine(const std::string& path, const std::string& line)
{
    // One write of a short line to a file opened for appending: runs at the
    // same time never mix their lines.
    const std::string whole = line + "\n";
    if (FILE* f = std::fopen(path.c_str(), "a")) {
        std::fwrite(whole.data(), 1, whole.size(), f);
        std::fclose(f);
    }
}

std::string unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "key value" lines; the value is the rest of the line, quotes removed.
std::map<std::string, std::string> keyValues(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string::npos)
            continue;
        std::string value = line.substr(blank + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        values[line.substr(0, blank)] = value;
    }
    return values;
}

// The control file's switches for this input: lines after "only_if TEXT"
// count only when the input holds TEXT, up to the next "only_if".
std::map<std::string, std::string> switches(const std::string& text, const std::string& input)
{
    std::map<std::string, std::string> values;
    bool active = true;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string::npos)
            continue;
        const std::string key = line.substr(0, blank);
        const std::string value = unescape(line.substr(blank + 1));
        if (key == "only_if")
            active = input.find(value) != std::string::npos;
        else if (active)
            values[key] = value;
    }
    return values;
}

std::vector<double> numbers(const std::string& list)
{
    std::vector<double> out;
    std::istringstream parts(list);
    std::string part;
    while (std::getline(parts, part, ','))
        if (!part.empty())
            out.push_back(std::atof(part.c_str()));
    return out;
}

int complain(const std::string& text)
{
    std::printf("*** ITURHFProp stand-in: %s\n", text.c_str());
    return 1;
}

// FNV-1a of the input's lines but the antenna path's, in hexadecimal.
std::string requestHash(const std::string& input)
{
    std::uint64_t hash = 14695981039346656037ull;
    std::istringstream lines(input);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("TXAntFilePath ", 0) == 0)
            continue;
        for (const char c : line + "\n")
            hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
    }
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::vector<std::string> names(const std::string& list)
{
    std::vector<std::string> out;
    std::istringstream parts(list);
    std::string part;
    while (std::getline(parts, part, ','))
        if (!part.empty())
            out.push_back(part);
    return out;
}

// The legend's wording of a column.
std::string legendName(const std::string& column)
{
    static const std::map<std::string, std::string> words {
        { "Month", "Month" },
        { "Hour", "Hour" },
        { "Freq", "Freq - Frequency (MHz)" },
        { "Lat", "Rx Lat - Receive latitude (deg)" },
        { "Lng", "Rx Lng - Receive longitude (deg)" },
        { "BCR", "BCR - Basic circuit reliability (%)" },
        { "SNR", "SNR - Median signal-to-noise ratio (dB)" },
        { "Dist", "Dist - Great circle distance (km)" },
        { "Ele", "ELE - Elevation angle (deg)" },
        { "Pr", "Pr - Median received power (dBW)" },
    };
    const auto found = words.find(column);
    return found == words.end() ? column : found->second;
}

int lineCount(const std::string& text)
{
    int lines = 0;
    for (const char c : text)
        lines += c == '\n';
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = ownFolder();
    if (argc != 4 || std::string(argv[1]) != "-s")
        return complain("usage: ITURHFProp -s input output");
    const std::string inPath = argv[2];
    const std::string outPath = argv[3];
    appendLine(folder + "/fake-engine.log", "start " + std::to_string(getpid()) + " " + inPath);
    struct LogEnd {
        std::string path;
        ~LogEnd() { appendLine(path, "end " + std::to_string(getpid())); }
    } logEnd { folder + "/fake-engine.log" };

    bool readable = false;
    const std::string input = readFile(inPath, &readable);
    if (!readable)
        return complain("cannot read " + inPath);
    appendLine(folder + "/fake-engine.log", "request " + requestHash(input));
    auto control = switches(readFile(folder + "/fake-engine.conf"), input);

    if (control.count("delay_ms"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(control["delay_ms"].c_str())));

    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd) || folder != cwd)
        return complain(std::string("working folder is not the engine folder: ") + cwd);
    const char* libraryPath = std::getenv("LD_LIBRARY_PATH");
    const char* dyldPath = std::getenv("DYLD_LIBRARY_PATH");
    if (!libraryPath || folder != libraryPath || !dyldPath || folder != dyldPath)
        return complain("library path is not the engine folder");

    auto in = keyValues(input);
    const int month = std::atoi(in["Path.month"].c_str());
    // The month's ionosphere and noise files and the shared decile factors.
    char ionosphere[64];
    char noise[64];
    std::snprintf(ionosphere, sizeof ionosphere, "ionos%02d.bin", month);
    std::snprintf(noise, sizeof noise, "COEFF%02dW.txt", month);
    for (const std::string& file : { std::string(ionosphere), std::string(noise), std::string("P1239-3 Decile Factors.txt") })
        if (!std::ifstream(in["DataFilePath"] + file))
            return complain("Error: cannot open the data file " + in["DataFilePath"] + file);
    bool antennaReadable = false;
    const std::string antenna = readFile(in["TXAntFilePath"], &antennaReadable);
    if (!antennaReadable || lineCount(antenna) != 305)
        return complain("Error: cannot read the antenna file " + in["TXAntFilePath"]);

    const std::string reportKind = control.count("report") ? control["report"] : "full";
    if (control.count("stdout"))
        std::fputs(control["stdout"].c_str(), stdout);
    if (control.count("stderr"))
        std::fputs(control["stderr"].c_str(), stderr);
    const int exitStatus = control.count("exit") ? std::atoi(control["exit"].c_str()) : 0;
    if (reportKind == "none")
        return exitStatus;

    const bool longPath = in["Path.SorL"] == "LONGPATH";
    const std::vector<std::string> columns
        = names(control.count("columns") ? control["columns"] : "Month,Hour,Freq,Lat,Lng,BCR,SNR");
    std::vector<std::string> rows;
    if (reportKind != "empty") {
        const double north = std::atof(in["UL.lat"].c_str());
        const double south = std::atof(in["LL.lat"].c_str());
        const double west = std::atof(in["LL.lng"].c_str());
        const double east = std::atof(in["LR.lng"].c_str());
        double latStep = std::atof(in["latinc"].c_str());
        double lngStep = std::atof(in["lnginc"].c_str());
        if (!(latStep > 0))
            latStep = 1;
        if (!(lngStep > 0))
            lngStep = 1;
        for (const double hour : numbers(in["Path.hour"]))
            for (const double mhz : numbers(in["Path.frequency"]))
                for (double lat = north; lat >= south - 1e-9; lat -= latStep)
                    for (double lng = west; lng <= east + 1e-9; lng += lngStep) {
                        const int h = int(hour);
                        double percent
                            = std::fmod(4.0 * h + 2.0 * mhz + 0.1 * std::fabs(lat) + 0.05 * std::fabs(lng), 80.0)
                            + 10.0;
                        if (longPath)
                            percent += h % 2 == 0 ? 5.0 : -5.0;
                        std::string row;
                        for (const std::string& column : columns) {
                            char cell[40] = "";
                            if (column == "Month")
                                std::snprintf(cell, sizeof cell, "%02d", month);
                            else if (column == "Hour")
                                std::snprintf(cell, sizeof cell, "%02d", h);
                            else if (column == "Freq")
                                std::snprintf(cell, sizeof cell, "%7.3f", mhz);
                            else if (column == "Lat")
                                std::snprintf(cell, sizeof cell, "%8.3f", lat);
                            else if (column == "Lng")
                                std::snprintf(cell, sizeof cell, "%9.3f", lng);
                            else if (column == "BCR")
                                std::snprintf(cell, sizeof cell, "%7.2f", percent);
                            else if (column == "SNR")
                                std::snprintf(cell, sizeof cell, "%6.1f", 12.5);
                            else if (column == "Dist")
                                std::snprintf(cell, sizeof cell, "%8.1f", 5000.0 + 10.0 * std::fabs(lat));
                            else if (column == "Ele")
                                std::snprintf(cell, sizeof cell, "%6.2f", 8.08);
                            else if (column == "Pr")
                                std::snprintf(cell, sizeof cell, "%8.2f", -144.53);
                            row += (row.empty() ? "" : ", ") + std::string(cell);
                        }
                        rows.push_back(row);
                    }
    }
    if (reportKind == "reversed")
        rows.assign(rows.rbegin(), rows.rend());

    std::ofstream out(outPath, std::ios::binary);
    out << "ITURHFProp stand-in report\n"
        << " Path name          : " << in["PathName"] << "\n"
        << " Sunspot number     : " << in["Path.SSN"] << "\n"
        << " Path               : " << in["Path.SorL"] << "\n"
        << "\n";
    if (control["legend"] != "none")
        for (std::size_t i = 0; i < columns.size(); ++i)
            out << " Column " << i + 1 << ": " << legendName(columns[i]) << "\n";
    out << "**************************************************\n"
        << "              Calculated Parameters\n"
        << "**************************************************\n";
    for (std::size_t i = 0; i < columns.size(); ++i)
        out << (i ? ", " : "") << columns[i];
    out << "\n";
    for (const std::string& row : rows)
        out << row << "\n";
    if (reportKind != "unterminated")
        out << "**************************************************\n"
            << "            End Calculated Parameters\n"
            << "**************************************************\n"
            << "01, 01, 1.000, 0.000, 0.000, 100.00, 0.0\n"; // after the block: never read
    return exitStatus;
}
