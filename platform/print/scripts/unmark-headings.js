document.querySelectorAll('[data-print-mark="%1"]').forEach(function (e) { e.remove(); });
