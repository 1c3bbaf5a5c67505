#pragma once

// A stop inside a write transaction for the tests that kill a writer or its database server
// there. When $MERIDAX_ARCHIVE_PAUSE names a file, the writer creates that file and waits
// until it is removed; otherwise this returns at once.
void ArchivePausePoint();
