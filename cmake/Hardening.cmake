# The hardening a distribution expects of an installed program: position-independent code linked
# as a PIE, stack protection, fortified C library calls (which need optimisation) and read-only
# relocations resolved at start. It applies to the builds meant for installing and packaging
# (Release, MinSizeRel); the development and test builds keep their plain flags.
set(release_configs "$<CONFIG:Release,MinSizeRel>")
add_compile_options(
    "$<${release_configs}:-fPIE;-fstack-protector-strong;-fstack-clash-protection;-fcf-protection;-D_FORTIFY_SOURCE=2>")
add_link_options("$<${release_configs}:-pie;-Wl,-z,relro;-Wl,-z,now;-Wl,--as-needed>")
