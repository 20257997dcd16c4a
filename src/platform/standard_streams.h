// The standard streams of a command-line tool.
#pragma once

namespace nsplatform {

// Makes standard output and standard error write bytes exactly as given.
// Windows' C runtime otherwise turns every "\n" into "\r\n", so a tool's
// output (CSV, reports) would differ between systems.
void UseBinaryStandardStreams();

}  // namespace nsplatform
