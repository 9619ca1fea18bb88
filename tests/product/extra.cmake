# test_product starts the built launcher.
add_dependencies(${target} Zav)
