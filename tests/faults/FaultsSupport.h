#pragma once

// True when the test program runs in a mount namespace of its own (it needs
// the right to make one): only then may the tests mount file systems.
bool mountsAllowed();
