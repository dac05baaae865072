#include "component/clsexam.h"

namespace ravlen {

clsExam &currentExam() {
    static clsExam exam;
    return exam;
}

} // namespace ravlen
