// The library includes this header with its Windows SDK spelling.
#include <wbemidl.h>
