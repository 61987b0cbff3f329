#pragma once

// Permission failures cannot be seen as root, who may read and write anywhere. A test that
// needs them calls runHere(): as an ordinary user it returns true and the test body runs;
// as root the test binary is copied where "nobody" can run it and that one test is run again
// as nobody (setpriv), its result recorded here, and runHere() returns false.
namespace Unprivileged {
bool runHere();
} // namespace Unprivileged
