#pragma once

namespace zelvane {

// Makes what qpdf keeps for the whole program (its crypto provider, used
// for a written file's ID and for encrypted files) before this thread
// first uses qpdf. qpdf makes it on first use behind a static of its own,
// whose check the thread sanitizer does not see when two threads use qpdf
// at once; made behind a static of ours, every thread is seen to come
// after it. Called before every file qpdf reads.
void prepareQPDF();

}  // namespace zelvane
