// The scripting mode: decodes every input, prints results on standard output in input order and
// diagnostics on standard error, and ends with an exit code a script can test.
#pragma once

#include "app/ScriptingOptions.h"

namespace qcl {

// Runs the scripting mode on parsed options; returns the exit code (ScriptExit).
int runScriptingMode(const ScriptingOptions& options);

}  // namespace qcl
