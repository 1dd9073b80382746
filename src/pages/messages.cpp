#include "pages/messages.hpp"

namespace cxl {

std::string_view messageOf(Problem problem) {
    switch (problem) {
        case Problem::CxlNotFound: return "No se encuentra el fichero \"${name}\"\n";
        case Problem::CxlUnreadable: return "ERROR: No se puede leer el fichero \"${name}\"\n";
        case Problem::NotXml: return "ERROR: El fichero \"${name}\" no es un documento XML valido.\n";
        case Problem::MissingNode: return "ERROR: No se ha encontrado un nodo.\n";
        case Problem::OutOfMemory: return "ERROR: Memoria insuficiente.\n";
        case Problem::PageExists: return "Ya existe el fichero \"${name}\"\n";
        case Problem::PageNotCreated: return "No se puede crear el fichero \"${name}\"\n";
        case Problem::PageNotWritten: return "No se puede escribir el fichero \"${name}\"\n";
        case Problem::DescriptionTooLong: return "ERROR: La descripcion del mapa seria demasiado larga.\n";
    }
    return {};
}

// Written in pieces, so that a message needs no memory: memory may be what ran out.
void writeMessage(std::ostream& err, const Failure& failure) {
    constexpr std::string_view kName = "${name}";
    err << failure.reason.text();
    const std::string_view message = messageOf(failure.problem);
    const std::size_t slot = message.find(kName);
    if (slot == std::string_view::npos) {
        err << message;
    } else {
        err << message.substr(0, slot) << failure.name << message.substr(slot + kName.size());
    }
}

}  // namespace cxl
