// The engine's own beforeprint and afterprint events stop here, before any listener of the
// page (all registered after this one): a print job runs the page's handlers itself, before
// it asks the engine for the PDF and once it has it. A renderer that dies while the engine
// prints (a handler that runs it out of memory) takes the whole program with it in this
// version of the engine; dying before, it takes only the page. The page's own events (not
// trusted) pass. The built-ins are taken before the page can change them.
(function () {
  const apply = Reflect.apply;
  const stopNow = Event.prototype.stopImmediatePropagation;
  const hold = function (event) {
    if (event.isTrusted)
      apply(stopNow, event, []);
  };
  addEventListener('beforeprint', hold, true);
  addEventListener('afterprint', hold, true);
})();
