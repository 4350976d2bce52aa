#include "stream/SComPortSplitter.h"

SComPortSplitter::~SComPortSplitter() {
    close();
}
