// The core as one function whose text the import worker starts from.
function qdpCoreScript() {
