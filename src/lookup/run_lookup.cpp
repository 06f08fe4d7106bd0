#include "lookup/run_lookup.h"

#include "common/port_source.h"
#include "lookup/query.h"
#include "lookup/select_port.h"

namespace comlookup {

std::int32_t run_lookup(int argc, const char* const* argv) {
    QueryBuffer query;
    if (read_query(argc, argv, query) != QueryState::ready) {
        return EXIT_NOT_FOUND;
    }
    return look_up(query.data());
}

std::int32_t look_up(const char* query) {
    const PortList ports = enumerate_com_ports();
    return select_port(ports, query);
}

}  // namespace comlookup
