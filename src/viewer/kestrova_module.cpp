// The viewer module, libkestrova.so: the viewer control, its engine and the
// media decoders, linked in from the subsystem libraries. The exported names
// are listed in kestrova.map.
