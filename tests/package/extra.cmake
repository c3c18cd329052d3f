add_dependencies(${test_target} zumbrix_man)
